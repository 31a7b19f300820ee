#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace sayloom {

class AppState;
class Permissions;
class SettingsGroup;

// The two grants dictation needs, each either allowed or with a button to the desktop's page where it is given.
// Follows the session as grants arrive.
class PermissionSettings final : public QWidget {
    Q_OBJECT

public:
    PermissionSettings(AppState& state, Permissions& permissions, QWidget* parent = nullptr);
    ~PermissionSettings() override;

    // What a grant's row offers: "Allowed" while granted, "Open Settings" while missing.
    QLabel* microphoneAllowed() const { return m_microphone.allowed; }
    QPushButton* microphoneButton() const { return m_microphone.open; }
    QLabel* accessibilityAllowed() const { return m_accessibility.allowed; }
    QPushButton* accessibilityButton() const { return m_accessibility.open; }
    // "Accessibility", or what the desktop names as missing.
    QLabel* accessibilityTitle() const { return m_accessibility.title; }
    QLabel* accessibilityReason() const { return m_accessibility.reason; }

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Row {
        QLabel* symbol = nullptr;
        QLabel* allowed = nullptr;
        QPushButton* open = nullptr;
        QLabel* title = nullptr;
        QLabel* reason = nullptr;
    };

    Row addRow(SettingsGroup& group, const QString& title, const QString& reason, const QString& page);
    void updateRows();

    AppState& m_state;
    Permissions& m_permissions;
    Row m_microphone;
    Row m_accessibility;
};

} // namespace sayloom
