#include "audio/PulseSourceWatch.h"

#include "audio/PulseSupport.h"

#include <algorithm>

namespace sayloom {

namespace {

constexpr std::chrono::milliseconds firstRetry{1000};
constexpr std::chrono::milliseconds longestRetry{30000};
// A server that takes longer than this to answer a question counts as gone.
constexpr std::chrono::milliseconds answerTimeout = pulse::connectTimeout;

} // namespace

PulseSourceWatch::PulseSourceWatch(std::function<void()> onChange)
    : m_onChange(std::move(onChange))
    , m_retryDelay(firstRetry)
{
    m_mainloop = pa_threaded_mainloop_new();
    if (m_mainloop) {
        pa_threaded_mainloop_set_name(m_mainloop, "audio-devices");
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
        m_timer = api->time_new(api, nullptr, onTimer, this);
    }
    if (!m_timer || pa_threaded_mainloop_start(m_mainloop) < 0) {
        qCWarning(lcAudio, "Cannot watch the microphones: no thread for the sound server's events");
        if (m_mainloop) {
            pa_threaded_mainloop_free(m_mainloop);
            m_mainloop = nullptr;
        }
        publish({});
        return;
    }
    pa_threaded_mainloop_lock(m_mainloop);
    connect();
    pa_threaded_mainloop_unlock(m_mainloop);
}

PulseSourceWatch::~PulseSourceWatch()
{
    if (!m_mainloop) {
        return;
    }
    // Once the context and the timer are gone nothing can call back into this object.
    pa_threaded_mainloop_lock(m_mainloop);
    dropContext();
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
    api->time_free(m_timer);
    pa_threaded_mainloop_unlock(m_mainloop);
    pa_threaded_mainloop_stop(m_mainloop);
    pa_threaded_mainloop_free(m_mainloop);
}

PulseSourceWatch::Snapshot PulseSourceWatch::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    return m_snapshot;
}

PulseSourceWatch::Snapshot PulseSourceWatch::firstSnapshot(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    m_firstAnswer.wait_for(lock, timeout, [this] { return m_answered; });
    return m_snapshot;
}

void PulseSourceWatch::retrySoon()
{
    if (!m_mainloop) {
        return;
    }
    pa_threaded_mainloop_lock(m_mainloop);
    if (m_phase == Phase::resting) {
        m_retryDelay = firstRetry;
        arm(std::chrono::milliseconds(1));
    }
    pa_threaded_mainloop_unlock(m_mainloop);
}

void PulseSourceWatch::connect()
{
    m_phase = Phase::connecting;
    arm(pulse::connectTimeout);
    m_context = pulse::newContext(pa_threaded_mainloop_get_api(m_mainloop));
    if (!m_context) {
        lost();
        return;
    }
    pa_context_set_state_callback(m_context, onContextState, this);
    pa_context_set_subscribe_callback(m_context, onEvent, this);
    // A refusal may already have been reported through the state callback; lost() does nothing twice.
    if (pa_context_connect(m_context, nullptr, pulse::connectFlags, nullptr) < 0) {
        lost();
    }
}

void PulseSourceWatch::refresh()
{
    if (m_phase == Phase::asking) {
        m_askAgain = true;
        return;
    }
    m_askAgain = false;
    m_answersMissing = 2;
    m_listFailed = false;
    m_defaultName.clear();
    m_listed.clear();
    pa_operation* server = pa_context_get_server_info(m_context, onServerInfo, this);
    pa_operation* sources = pa_context_get_source_info_list(m_context, onSourceInfo, this);
    for (pa_operation* operation : {server, sources}) {
        if (operation) {
            pa_operation_unref(operation);
        }
    }
    if (!server || !sources) {
        // Dropping the context cancels whichever question did go out.
        lost();
        return;
    }
    m_phase = Phase::asking;
    arm(answerTimeout);
}

void PulseSourceWatch::answered()
{
    if (m_listFailed) {
        lost();
        return;
    }
    Snapshot snapshot{.devices = std::move(m_listed), .defaultID = std::nullopt};
    m_listed.clear();
    for (const AudioInputDevice& device : snapshot.devices) {
        if (device.uid.toStdString() == m_defaultName) {
            snapshot.defaultID = device.id;
            break;
        }
    }
    m_phase = Phase::listening;
    arm({});
    publish(std::move(snapshot));
    if (m_askAgain) {
        refresh();
    }
}

void PulseSourceWatch::lost()
{
    if (m_phase == Phase::resting) {
        return;
    }
    // Said once when a server that answered goes away, not for every attempt while there is none.
    if (m_phase != Phase::connecting) {
        qCInfo(lcAudio, "Lost the sound server; no microphones until it is back");
    }
    dropContext();
    m_phase = Phase::resting;
    arm(m_retryDelay);
    m_retryDelay = std::min(m_retryDelay * 2, longestRetry);
    publish({});
}

void PulseSourceWatch::dropContext()
{
    if (!m_context) {
        return;
    }
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    // Disconnecting cancels the questions still out, so their callbacks never run.
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// Zero disarms the timer.
void PulseSourceWatch::arm(std::chrono::milliseconds delay)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
    if (delay.count() == 0) {
        api->time_restart(m_timer, nullptr);
        return;
    }
    timeval due{};
    pa_gettimeofday(&due);
    pa_timeval_add(&due, pa_usec_t(delay.count()) * PA_USEC_PER_MSEC);
    api->time_restart(m_timer, &due);
}

void PulseSourceWatch::publish(Snapshot snapshot)
{
    bool changed = false;
    {
        const std::lock_guard lock(m_mutex);
        changed = snapshot != m_snapshot;
        m_snapshot = std::move(snapshot);
        m_answered = true;
    }
    m_firstAnswer.notify_all();
    if (changed && m_onChange) {
        m_onChange();
    }
}

void PulseSourceWatch::onContextState(pa_context* context, void* userdata)
{
    auto* watch = static_cast<PulseSourceWatch*>(userdata);
    const pa_context_state_t state = pa_context_get_state(context);
    if (!PA_CONTEXT_IS_GOOD(state)) {
        watch->lost();
        return;
    }
    if (state != PA_CONTEXT_READY || watch->m_phase != Phase::connecting) {
        return;
    }
    watch->m_retryDelay = firstRetry;
    const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
    pa_operation* subscription = pa_context_subscribe(context, mask, nullptr, nullptr);
    if (!subscription) {
        watch->lost();
        return;
    }
    pa_operation_unref(subscription);
    watch->refresh();
}

// A source came, went or changed, or the server's defaults did: ask again, and compare.
void PulseSourceWatch::onEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata)
{
    static_cast<PulseSourceWatch*>(userdata)->refresh();
}

void PulseSourceWatch::onServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto* watch = static_cast<PulseSourceWatch*>(userdata);
    if (info && info->default_source_name) {
        watch->m_defaultName = info->default_source_name;
    }
    if (--watch->m_answersMissing == 0) {
        watch->answered();
    }
}

void PulseSourceWatch::onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* watch = static_cast<PulseSourceWatch*>(userdata);
    if (eol == 0) {
        if (info && info->name && pulse::isMicrophone(*info)) {
            watch->m_listed.append(pulse::inputDevice(*info));
        }
        return;
    }
    watch->m_listFailed = eol < 0;
    if (--watch->m_answersMissing == 0) {
        watch->answered();
    }
}

void PulseSourceWatch::onTimer(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata)
{
    auto* watch = static_cast<PulseSourceWatch*>(userdata);
    switch (watch->m_phase) {
    case Phase::connecting:
    case Phase::asking:
        watch->lost();
        break;
    case Phase::resting:
        watch->connect();
        break;
    case Phase::listening:
        break;
    }
}

} // namespace sayloom
