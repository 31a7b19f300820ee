#pragma once

#include "session/ports/Sounds.h"

#include <QString>

#include <memory>
#include <optional>

namespace sayloom {

// The two cues through the desktop's event-sound service (libcanberra), from the sound files Sayloom ships. All
// libcanberra work happens on a thread of its own, so a slow or hung sound server never holds up the caller: at
// most one cue waits while another is being started, a newer one replaces it, and a cue that could not start within
// half a second is dropped rather than played late. Without a sound server, or without the files, nothing plays.
class CanberraSounds final : public Sounds {
public:
    // `begin` and `end` are the cue files; empty means the shipped ones.
    explicit CanberraSounds(QString begin = {}, QString end = {});
    CanberraSounds(const CanberraSounds&) = delete;
    CanberraSounds& operator=(const CanberraSounds&) = delete;
    // Waits a moment for the thread to finish; a thread stuck on a hung server is left to end on its own.
    ~CanberraSounds() override;

    void play(Cue cue, float volume) override;

    // The gain for `volume` in [0, 1] as libcanberra takes it, in decibels ("-12.04" for 0.25); none for silence.
    static std::optional<QString> decibels(float volume);

private:
    struct Worker;

    QString m_files[2];
    std::shared_ptr<Worker> m_worker;
};

} // namespace sayloom
