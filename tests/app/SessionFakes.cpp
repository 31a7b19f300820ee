#include "SessionFakes.h"

#include "AudioDevices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <stop_token>
#include <thread>

namespace sayloom::testing {

using namespace std::chrono_literals;

void pump()
{
    // Queued work may queue more (a resumed coroutine posting the next step); a few rounds drain every chain the
    // session builds.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

struct FakeClock::Wait {
    FakeClock& clock;
    Instant deadline;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter) { clock.m_sleepers.emplace(deadline, waiter); }
    void await_resume() const noexcept {}
};

QDateTime FakeClock::wallNow() const
{
    static const QDateTime origin = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    return origin.addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch()).count());
}

QCoro::Task<void> FakeClock::sleep(std::chrono::milliseconds duration)
{
    Wait wait{*this, m_now + duration};
    co_await wait;
}

void FakeClock::advance(std::chrono::milliseconds duration)
{
    const Instant target = m_now + duration;
    pump();
    while (!m_sleepers.empty() && m_sleepers.begin()->first <= target) {
        const auto next = m_sleepers.begin();
        m_now = std::max(m_now, next->first);
        const std::coroutine_handle<> waiter = next->second;
        m_sleepers.erase(next);
        waiter.resume();
        pump();
    }
    m_now = target;
    pump();
}

void Gate::open()
{
    m_open = true;
    if (!m_waiter) {
        return;
    }
    const std::coroutine_handle<> waiter = std::exchange(m_waiter, {});
    // Resumed from the event loop, as a real engine's result arrives, never inside the caller of open().
    QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
}

std::variant<Recorder::Recording, AudioRecorderError> FakeRecorder::start(const std::optional<AudioInputDevice>& device)
{
    ++starts;
    lastDevice = device;
    if (failure) {
        return *failure;
    }
    stop();
    auto [stream, continuation] = AudioStream::make();
    m_continuation = continuation;
    return Recording{std::move(stream), AudioRecorder::format};
}

void FakeRecorder::stop()
{
    if (!m_continuation) {
        return;
    }
    m_continuation->finish();
    m_continuation.reset();
    ++stops;
    if (onStreamEnd) {
        onStreamEnd();
    }
}

void FakeRecorder::levelFromCaptureThread(float level)
{
    std::thread capture([this, level] {
        if (m_onLevel) {
            m_onLevel(level);
        }
    });
    capture.join();
}

std::optional<AudioInputDevice> FakeInputDevices::resolve(const MicrophonePreference& preference) const
{
    const std::optional<std::uint32_t> defaultID =
            devices.isEmpty() ? std::nullopt : std::optional<std::uint32_t>(devices.first().id);
    return AudioDevices::resolve(preference, devices, defaultID);
}

QCoro::Task<void> FakeEngine::prepare()
{
    if (prepareHeld) {
        Gate::Awaiter opened = prepareGate.wait();
        co_await opened;
    }
    if (prepareFailure) {
        throw TranscriptionError(*prepareFailure);
    }
}

QCoro::Task<QString> FakeEngine::transcribe(AudioStream, AudioFormat, QStringList vocabulary, PartialHandler onPartial,
                                            std::stop_token stop)
{
    m_calls.push_back(std::make_unique<Call>());
    Call* call = m_calls.back().get();
    call->onPartial = std::move(onPartial);
    call->vocabulary = std::move(vocabulary);
    if (m_next) {
        call->outcome = m_next->first;
        call->held = m_next->second;
        m_next.reset();
    }
    const std::stop_callback onStop(stop, [call] { call->gate.open(); });
    Gate::Awaiter opened = call->gate.wait();
    co_await opened;
    call->finished = true;
    if (stop.stop_requested()) {
        call->stopped = true;
        co_return QString();
    }
    if (const auto* error = std::get_if<TranscriptionError>(&call->outcome)) {
        throw *error;
    }
    co_return std::get<QString>(call->outcome);
}

void FakeEngine::script(std::variant<QString, TranscriptionError> outcome, bool held)
{
    m_next.emplace(std::move(outcome), held);
}

void FakeEngine::forgetCalls()
{
    std::erase_if(m_calls, [](const std::unique_ptr<Call>& call) { return call->finished; });
}

void FakeEngine::finish()
{
    if (Call* call = latest()) {
        call->gate.open();
    }
}

void FakeEngine::audioEnded()
{
    Call* call = latest();
    if (call && !call->held) {
        call->gate.open();
    }
}

namespace {

// A model that is never reached for real: every request fails, so the polisher falls back to its basic cleanup.
class RefusingSession final : public LanguageModelSession {
public:
    void prewarm() override {}
    QCoro::Task<QString> respond(QString, GenerationOptions, std::stop_token) override
    {
        throw LanguageModelError(QStringLiteral("no model here"));
        co_return QString();
    }
};

} // namespace

std::shared_ptr<LanguageModelSession> FakeLanguageModel::makeSession(const QString&)
{
    ++sessionsMade;
    return std::make_shared<RefusingSession>();
}

void FakeHotkeyMonitor::start()
{
    if (running) {
        return;
    }
    running = true;
    ++startCount;
}

void FakeHotkeyMonitor::stop()
{
    running = false;
    if (m_down) {
        m_down = false;
        if (m_onChange) {
            m_onChange(false);
        }
    }
}

void FakeHotkeyMonitor::press()
{
    if (m_down) {
        return;
    }
    m_down = true;
    if (m_onChange) {
        m_onChange(true);
    }
}

void FakeHotkeyMonitor::release()
{
    if (!m_down) {
        return;
    }
    m_down = false;
    if (m_onChange) {
        m_onChange(false);
    }
}

void FakeHotkeyMonitor::reportRelease()
{
    m_down = false;
    if (m_onChange) {
        m_onChange(false);
    }
}

void FakeHotkeyMonitor::escape()
{
    if (m_onCancel) {
        m_onCancel();
    }
}

QCoro::Task<void> FakeInserter::insert(QString text)
{
    inserted.append(text);
    QCoro::Task<void> pause = m_clock.sleep(300ms);
    co_await std::move(pause);
    ++completed;
}

QCoro::Task<bool> FakePermissions::requestMicrophone()
{
    ++requests;
    co_return microphone;
}

int FakeSounds::count(Cue cue) const
{
    return int(std::count_if(played.begin(), played.end(), [cue](const auto& play) { return play.first == cue; }));
}

} // namespace sayloom::testing
