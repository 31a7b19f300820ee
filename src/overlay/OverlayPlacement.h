#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <span>

namespace sayloom {

// Where the pill goes: on the screen under the mouse, centred, 28 px above the bottom of that screen's available
// area (clear of panels and docks). Pure arithmetic, so it is tested without screens.
struct OverlayPlacement {
    static constexpr int bottomMargin = 28;

    // The first screen whose geometry contains `cursor`, else `primary`; nullopt when neither exists (the caller
    // then leaves the window where it is).
    static std::optional<std::size_t> screenUnder(QPoint cursor, std::span<const QRect> screenGeometries,
                                                  std::optional<std::size_t> primary);

    // The window's top-left corner in an available area.
    static QPoint origin(const QRect& availableGeometry, QSize window);
};

} // namespace sayloom
