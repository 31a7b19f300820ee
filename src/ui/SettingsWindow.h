#pragma once

#include "ui/WindowParts.h"

#include <QWidget>

class QTabWidget;

namespace sayloom {

class GeneralSettings;
class ModelSettings;
class PermissionSettings;

// The settings window: the General, Model and Permissions panes under tabs. A window of its own; it keeps nothing,
// every pane reads and writes the session's settings.
class SettingsWindow final : public QWidget {
    Q_OBJECT

public:
    explicit SettingsWindow(WindowParts parts, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    QTabWidget* tabs() const { return m_tabs; }
    GeneralSettings* general() const { return m_general; }
    ModelSettings* model() const { return m_model; }
    PermissionSettings* permissions() const { return m_permissions; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbols();

    QTabWidget* m_tabs;
    GeneralSettings* m_general;
    ModelSettings* m_model;
    PermissionSettings* m_permissions;
};

} // namespace sayloom
