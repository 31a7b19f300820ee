#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace sayloom {

// The screens name their symbols as the design does ("mic.fill", "clock", "trash"); this finds the desktop theme's
// icon that stands in for each, drawn in one colour so it follows the light or dark text around it.
class SymbolNames {
public:
    SymbolNames() = delete;

    // The freedesktop icon name standing in for a symbol name; the symbol name itself when none is known.
    static QString themeName(const QString& symbol);
    // The theme's icon painted in `color` (symbolic icons come in one grey that vanishes on a dark window), or the
    // design's own stand-in when the theme has none.
    static QIcon icon(const QString& symbol, const QColor& color);
};

} // namespace sayloom
