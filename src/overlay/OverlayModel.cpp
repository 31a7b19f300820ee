#include "overlay/OverlayModel.h"

#include <algorithm>
#include <cmath>

namespace sayloom {

OverlayModel::OverlayModel(QObject* parent)
    : QObject(parent)
{
}

void OverlayModel::setMode(const OverlayMode& mode)
{
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    emit modeChanged(m_mode);
}

void OverlayModel::push(float level)
{
    const float clamped = std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f;
    // Unchanged exactly when every level equals its successor and the newest equals the new one.
    const bool unchanged =
            std::ranges::adjacent_find(m_levels, std::not_equal_to<>()) == m_levels.end() && m_levels.back() == clamped;
    std::shift_left(m_levels.begin(), m_levels.end(), 1);
    m_levels.back() = clamped;
    emit levelPushed(clamped);
    if (!unchanged) {
        emit levelsChanged();
    }
}

void OverlayModel::resetLevels()
{
    const bool flat = std::ranges::all_of(m_levels, [](float level) { return level == 0.0f; });
    m_levels.fill(0.0f);
    emit levelsReset();
    if (!flat) {
        emit levelsChanged();
    }
}

} // namespace sayloom
