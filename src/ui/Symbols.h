#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace sayloom {

// The screens name their symbols as the design does ("mic.fill", "clock", "trash"); this turns such a name into an
// icon of the desktop's theme, drawn in one colour so it follows the light or dark text around it.
class Symbols {
public:
    Symbols() = delete;

    // The freedesktop icon name standing in for a symbol name; the symbol name itself when none is known.
    static QString themeName(const QString& symbol);
    // The symbol tinted with `color`; a null icon when the theme has nothing for it.
    static QIcon icon(const QString& symbol, const QColor& color);
    // Makes sure a theme is there to draw from: where the platform names none (the offscreen platform, a bare
    // window manager), Adwaita, which the program's packages bring along.
    static void useInstalledTheme();
};

} // namespace sayloom
