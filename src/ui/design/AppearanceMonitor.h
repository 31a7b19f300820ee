#pragma once

#include "ui/design/DesignTokens.h"

#include <QObject>
#include <QPalette>

#include <optional>

namespace sayloom {

// Follows the desktop's light or dark palette: reads it at start and whenever the application palette changes
// (the platform theme sends ApplicationPaletteChange when the user switches). One per application; needs a
// QGuiApplication. Painted components don't need it (they read their widget's palette when they paint); it is for
// what must react to a switch, such as the tray icon or cached colours.
class AppearanceMonitor final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY appearanceChanged)

public:
    explicit AppearanceMonitor(QObject* parent = nullptr);
    ~AppearanceMonitor() override;
    AppearanceMonitor(const AppearanceMonitor&) = delete;
    AppearanceMonitor& operator=(const AppearanceMonitor&) = delete;

    // The application's monitor, created on first use and owned by the application object.
    static AppearanceMonitor* instance();

    Appearance appearance() const { return m_appearance; }
    bool isDark() const { return m_appearance == Appearance::dark; }
    // The tokens of the application palette as it is now.
    DesignTokens tokens() const;

    // Makes the whole application light or dark whatever the desktop says, by installing the standard palette of
    // that appearance (snapshots, tests); std::nullopt gives the desktop's palette back.
    void force(std::optional<Appearance> appearance);
    std::optional<Appearance> forced() const { return m_forced; }

signals:
    // Fires only when light and dark really swap.
    void appearanceChanged(sayloom::Appearance appearance);
    // Fires on every change of the application palette, including a new accent within the same appearance.
    void paletteChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    QPalette m_palette;
    Appearance m_appearance = Appearance::light;
    std::optional<Appearance> m_forced;
    std::optional<QPalette> m_desktopPalette;
};

} // namespace sayloom
