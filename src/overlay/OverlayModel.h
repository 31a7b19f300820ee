#pragma once

#include "session/ports/OverlayMode.h"

#include <QObject>

#include <array>

namespace sayloom {

// What the pill shows: its mode and the last 22 levels of the waveform, oldest first. Main thread only.
class OverlayModel final : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t levelCount = 22;
    using Levels = std::array<float, levelCount>;

    explicit OverlayModel(QObject* parent = nullptr);

    const OverlayMode& mode() const { return m_mode; }
    void setMode(const OverlayMode& mode);

    const Levels& levels() const { return m_levels; }
    // Drops the oldest level and appends `level`, clamped to [0, 1] (a NaN counts as silence). Runs for every
    // captured buffer: constant work, no allocation.
    void push(float level);
    // Back to 22 zeros: a flat waveform for a new recording.
    void resetLevels();

signals:
    void modeChanged(const sayloom::OverlayMode& mode);
    // The list's values changed, by a push or a reset.
    void levelsChanged();
    // Every push, even one that leaves the values as they were (the pill eases its newest bar on it).
    void levelPushed(float level);
    void levelsReset();

private:
    OverlayMode m_mode = OverlayMode::hidden();
    Levels m_levels{};
};

} // namespace sayloom
