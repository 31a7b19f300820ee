#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace sayloom {

// The few symbols we draw ourselves because icon themes have nothing fitting or because they must take any colour
// (the pill's white lock and info symbol, the waveform logo), plus fallbacks for theme icons that are missing.
enum class OwnSymbol { lock, info, warning, record, waveform, circle };

// Symbols: the desktop's icon theme first (freedesktop names), our own SVGs where it has nothing.
class Symbols final {
public:
    Symbols() = delete;

    // Makes sure theme lookups can succeed: without a theme (the offscreen platform, a bare window manager) picks
    // "Adwaita" when it is installed. Called by icon(); cheap after the first call.
    static void ensureIconTheme();

    // The theme's icon of a freedesktop name ("dialog-warning", "edit-copy", ...). When the theme has none, our own
    // symbol for that name in `tint` (warning, information, record and lock names map to their own symbols, any other
    // name to a plain circle), so nothing is ever drawn as an empty square.
    static QIcon icon(const QString& freedesktopName, const QColor& tint);

    // One of our own symbols as an icon in `tint`, crisp at every device-pixel ratio.
    static QIcon ownIcon(OwnSymbol symbol, const QColor& tint);

    // Draws one of our own symbols as vectors, filling `rect` (square symbols; keep rect square), in `colour`.
    static void paint(QPainter& painter, OwnSymbol symbol, const QRectF& rect, const QColor& colour);
};

} // namespace sayloom
