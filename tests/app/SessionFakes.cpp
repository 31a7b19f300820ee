#include "SessionFakes.h"

#include "AudioDevices.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <thread>

namespace sayloom::testing {

void pump()
{
    // Queued work may queue more (a resumed coroutine posting its next step); a few rounds drain every chain the
    // session builds.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
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
    if (const std::coroutine_handle<> waiter = std::exchange(m_waiter, {})) {
        // From the event loop, as a real result arrives: never inside the caller of open().
        QMetaObject::invokeMethod(
                QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
    }
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
    std::exchange(m_continuation, std::nullopt)->finish();
    ++stops;
    if (onStreamEnd) {
        onStreamEnd();
    }
}

void FakeRecorder::levelFromCaptureThread(float level)
{
    std::thread([this, level] { m_onLevel(level); }).join();
}

std::optional<AudioInputDevice> FakeInputDevices::resolve(const MicrophonePreference& preference) const
{
    return AudioDevices::resolve(preference, devices,
                                 devices.isEmpty() ? std::nullopt : std::optional<std::uint32_t>(devices.first().id));
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
    Call* call = m_calls.emplace_back(std::make_unique<Call>()).get();
    call->onPartial = std::move(onPartial);
    call->vocabulary = std::move(vocabulary);
    if (m_next) {
        std::tie(call->outcome, call->held) = *std::exchange(m_next, std::nullopt);
    }
    const std::stop_callback onStop(stop, [call] { call->gate.open(); });
    Gate::Awaiter opened = call->gate.wait();
    co_await opened;
    call->finished = true;
    call->stopped = stop.stop_requested();
    if (call->stopped) {
        co_return QString();
    }
    if (const auto* error = std::get_if<TranscriptionError>(&call->outcome)) {
        throw *error;
    }
    co_return std::get<QString>(call->outcome);
}

void FakeEngine::finish()
{
    if (Call* call = latest()) {
        call->gate.open();
    }
}

void FakeEngine::forgetFinishedCalls()
{
    std::erase_if(m_calls, [](const std::unique_ptr<Call>& call) { return call->finished; });
}

std::shared_ptr<LanguageModelSession> FakeLanguageModel::makeSession(const QString&)
{
    class Refusing final : public LanguageModelSession {
    public:
        void prewarm() override {}
        QCoro::Task<QString> respond(QString, GenerationOptions, std::stop_token) override
        {
            throw LanguageModelError(QStringLiteral("no model here"));
            co_return QString();
        }
    };
    ++sessionsMade;
    return std::make_shared<Refusing>();
}

void FakeHotkeyMonitor::stop()
{
    running = false;
    key(false);
}

void FakeHotkeyMonitor::key(bool down)
{
    if (std::exchange(m_down, down) != down && onChange) {
        onChange(down);
    }
}

QString FakeOverlay::lastMessage() const
{
    for (auto mode = shown.rbegin(); mode != shown.rend(); ++mode) {
        if (mode->kind() == OverlayMode::Kind::message) {
            return mode->text();
        }
    }
    return {};
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

} // namespace sayloom::testing
