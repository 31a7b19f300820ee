#pragma once

// The live device list's connection to the sound server; private to the audio library.

#include "audio/AudioInputDevice.h"

#include <QList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <pulse/pulseaudio.h>
#include <string>

namespace sayloom {

// Keeps the server's microphones and its default source in memory, on a connection and a thread of its own
// ("audio-devices"): it asks for both when it connects and again whenever the server reports a change to its
// sources or its defaults. When the server cannot be reached or goes away the list is empty, and the watch tries
// again after 1 s, then 2, 4 and so on up to 30 s. It never starts a server.
class PulseSourceWatch final {
public:
    struct Snapshot {
        // In the server's order, without the monitors of outputs.
        QList<AudioInputDevice> devices;
        // The default source's id, when it is one of `devices`.
        std::optional<std::uint32_t> defaultID;

        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };

    // Starts connecting and returns at once. `onChange` runs on the watch's thread after each change of the
    // snapshot; it must not destroy the watch.
    explicit PulseSourceWatch(std::function<void()> onChange = {});
    PulseSourceWatch(const PulseSourceWatch&) = delete;
    PulseSourceWatch& operator=(const PulseSourceWatch&) = delete;
    ~PulseSourceWatch();

    // What the server last said, from memory; any thread.
    Snapshot snapshot() const;
    // The snapshot once the first connection has an answer (the server's list, or nothing when it cannot be
    // reached), waiting at most `timeout` for it.
    Snapshot firstSnapshot(std::chrono::milliseconds timeout) const;
    // Without a connection, tries the server now instead of after the current delay (up to 30 s): someone needs
    // the list, and a server that came back should not wait for the next attempt. Returns at once.
    void retrySoon();

private:
    enum class Phase {
        connecting, // the timer ends the attempt
        asking,     // a question is out; the timer declares the server gone
        listening,  // connected and up to date
        resting,    // no connection; the timer tries again
    };

    void connect();
    void refresh();
    void answered();
    void lost();
    void dropContext();
    void arm(std::chrono::milliseconds delay);
    void publish(Snapshot snapshot);

    static void onContextState(pa_context* context, void* userdata);
    static void onEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* userdata);
    static void onServerInfo(pa_context* context, const pa_server_info* info, void* userdata);
    static void onSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* userdata);
    static void onTimer(pa_mainloop_api* api, pa_time_event* timer, const timeval* time, void* userdata);

    const std::function<void()> m_onChange;
    pa_threaded_mainloop* m_mainloop = nullptr;

    // Used only on the watch's thread or with the main loop's lock held.
    pa_context* m_context = nullptr;
    pa_time_event* m_timer = nullptr;
    Phase m_phase = Phase::resting;
    std::chrono::milliseconds m_retryDelay;
    bool m_askAgain = false;
    int m_answersMissing = 0;
    bool m_listFailed = false;
    std::string m_defaultName;
    QList<AudioInputDevice> m_listed;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_firstAnswer;
    Snapshot m_snapshot;     // m_mutex
    bool m_answered = false; // m_mutex
};

} // namespace sayloom
