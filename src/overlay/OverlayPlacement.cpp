#include "overlay/OverlayPlacement.h"

namespace sayloom {

std::optional<std::size_t> OverlayPlacement::screenUnder(QPoint cursor, std::span<const QRect> screenGeometries,
                                                         std::optional<std::size_t> primary)
{
    for (std::size_t index = 0; index < screenGeometries.size(); ++index) {
        if (screenGeometries[index].contains(cursor)) {
            return index;
        }
    }
    if (primary && *primary < screenGeometries.size()) {
        return primary;
    }
    return std::nullopt;
}

QPoint OverlayPlacement::origin(const QRect& availableGeometry, QSize window)
{
    // Integer halves round towards the left, as a centred odd-width window must go one way or the other.
    const int x = availableGeometry.x() + (availableGeometry.width() - window.width()) / 2;
    const int y = availableGeometry.y() + availableGeometry.height() - bottomMargin - window.height();
    return QPoint(x, y);
}

} // namespace sayloom
