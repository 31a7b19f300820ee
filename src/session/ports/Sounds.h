#pragma once

namespace sayloom {

// The two short cues of a take.
class Sounds {
public:
    enum class Cue {
        // Recording started.
        begin,
        // Recording stopped after the tail.
        end,
    };

    virtual ~Sounds() = default;

    // Plays the cue at `volume` in [0, 1]; a cue that cannot be played is skipped silently.
    virtual void play(Cue cue, float volume) = 0;
};

} // namespace sayloom
