#pragma once

#include "AccessibilityTrust.h"
#include "Clipboard.h"
#include "Clock.h"
#include "HotkeyMonitor.h"
#include "InputDevices.h"
#include "LanguageModel.h"
#include "Overlay.h"
#include "Permissions.h"
#include "Recorder.h"
#include "RunningApplications.h"
#include "Sounds.h"
#include "TextInserter.h"
#include "TranscriptionEngine.h"

#include <QStringList>

#include <coroutine>
#include <map>
#include <optional>
#include <variant>
#include <vector>

// Fakes of the session's collaborators: each does what its contract promises, at once or when the test says, and
// records what it was asked.
namespace sayloom::testing {

using namespace std::chrono_literals;

// Runs queued work and whatever coroutines it resumes until nothing is left.
void pump();

// Time stands still until the test moves it; sleeps wake in the order of their deadlines.
class FakeClock final : public Clock {
public:
    Instant now() const override { return m_now; }
    QDateTime wallNow() const override;
    QCoro::Task<void> sleep(std::chrono::milliseconds duration) override;

    // Moves time forward, waking each sleep at its own deadline and letting its work run before the next.
    void advance(std::chrono::milliseconds duration);
    std::size_t sleepers() const { return m_sleepers.size(); }

private:
    struct Wait;
    Instant m_now{std::chrono::hours(1000)};
    std::multimap<Instant, std::coroutine_handle<>> m_sleepers;
};

// A point a fake waits at until it is opened; the waiter is resumed from the event loop.
class Gate {
public:
    // Refers to the gate, so it may be copied on its way into the coroutine.
    struct Awaiter {
        Gate* gate;
        bool await_ready() const noexcept { return gate->m_open; }
        void await_suspend(std::coroutine_handle<> waiter) { gate->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };

    Awaiter wait() { return Awaiter{this}; }
    void open();

private:
    bool m_open = false;
    std::coroutine_handle<> m_waiter;
};

class FakeRecorder final : public Recorder {
public:
    std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>& device) override;
    void stop() override;
    void setOnLevel(std::function<void(float)> onLevel) override { m_onLevel = std::move(onLevel); }

    // Calls the level callback from a thread of its own, as the capture thread does.
    void levelFromCaptureThread(float level);
    bool isRecording() const { return m_continuation.has_value(); }

    std::optional<AudioRecorderError> failure;
    int starts = 0;
    // Stops that ended a running capture.
    int stops = 0;
    std::optional<AudioInputDevice> lastDevice;
    std::function<void()> onStreamEnd;

private:
    std::optional<AudioStream::Continuation> m_continuation;
    std::function<void(float)> m_onLevel;
};

// The real choice among the listed devices, the first being the default.
class FakeInputDevices final : public InputDevices {
public:
    QList<AudioInputDevice> inputDevices() const override { return devices; }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const override;

    QList<AudioInputDevice> devices;
};

// Each take is one call. A call ends when its audio ends (the recorder's stop) with the outcome scripted for it, or,
// when that outcome is held, when the test finishes it. A stop request ends it at once with nothing.
class FakeEngine final : public TranscriptionEngine {
public:
    using Outcome = std::variant<QString, TranscriptionError>;
    struct Call {
        PartialHandler onPartial;
        QStringList vocabulary;
        Outcome outcome = QString();
        bool held = false;
        bool finished = false;
        // Ended by a stop request before its result.
        bool stopped = false;
        Gate gate;
    };

    QString name() const override { return QStringLiteral("PocketSphinx"); }
    QCoro::Task<void> prepare() override;
    QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                    PartialHandler onPartial, std::stop_token stop) override;

    // The outcome of the next call; an empty text when none is scripted.
    void script(Outcome outcome, bool held = false) { m_next.emplace(std::move(outcome), held); }
    // Ends the latest call with its outcome.
    void finish();
    Call* latest() { return m_calls.empty() ? nullptr : m_calls.back().get(); }
    const std::vector<std::unique_ptr<Call>>& calls() const { return m_calls; }
    void forgetFinishedCalls();

    std::optional<QString> prepareFailure;
    bool prepareHeld = false;
    Gate prepareGate;

private:
    std::optional<std::pair<Outcome, bool>> m_next;
    std::vector<std::unique_ptr<Call>> m_calls;
};

// Never reached for real: every request fails, so the polisher falls back to its basic cleanup.
class FakeLanguageModel final : public LanguageModel {
public:
    LanguageModelAvailability availability() const override { return available; }
    std::shared_ptr<LanguageModelSession> makeSession(const QString& instructions) override;

    LanguageModelAvailability available = LanguageModelAvailability::unavailable;
    int sessionsMade = 0;
};

class FakeHotkeyMonitor final : public HotkeyMonitor {
public:
    Trigger trigger() const override { return m_trigger; }
    void setTrigger(Trigger trigger) override { m_trigger = trigger; }
    void setOnChange(std::function<void(bool)> callback) override { onChange = std::move(callback); }
    void setOnCancel(std::function<void()> callback) override { onCancel = std::move(callback); }
    bool isDown() const override { return m_down; }
    void markUp() override { m_down = false; }
    void start() override { startCount += !std::exchange(running, true); }
    void stop() override;

    // The trigger key going down or up; a repeat reports nothing.
    void key(bool down);

    std::function<void(bool)> onChange;
    std::function<void()> onCancel;
    int startCount = 0;
    bool running = false;

private:
    Trigger m_trigger = Trigger::rightOption;
    bool m_down = false;
};

class FakeOverlay final : public Overlay {
public:
    void show(const OverlayMode& mode) override { shown.push_back(mode); }
    void hide(std::chrono::milliseconds delay) override { hides.push_back(delay); }
    void push(float level) override { levels.push_back(level); }

    OverlayMode lastShown() const { return shown.empty() ? OverlayMode::hidden() : shown.back(); }
    QString lastMessage() const;

    std::vector<OverlayMode> shown;
    std::vector<std::chrono::milliseconds> hides;
    std::vector<float> levels;
};

// Pastes at once and completes 0.3 s later on the session's clock, like the real one.
class FakeInserter final : public TextInserter {
public:
    explicit FakeInserter(Clock& clock)
        : m_clock(clock)
    {
    }
    QCoro::Task<void> insert(QString text) override;

    QStringList inserted;
    int completed = 0;

private:
    Clock& m_clock;
};

class FakePermissions final : public Permissions {
public:
    QCoro::Task<bool> requestMicrophone() override;
    void open(const QString&) override {}

    bool microphone = true;
    int requests = 0;
};

class FakeAccessibility final : public AccessibilityTrust {
public:
    bool isTrusted() const override { return ++queries, trusted; }
    bool isTrustedPrompting() override { return ++prompts, trusted; }

    bool trusted = true;
    int prompts = 0;
    mutable int queries = 0;
};

class FakeApplications final : public RunningApplications {
public:
    static RunningApplication editor()
    {
        return {QStringLiteral("4242"), QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor")};
    }
    static RunningApplication itself()
    {
        return {QStringLiteral("1"), QStringLiteral("app.sayloom.Sayloom"), QStringLiteral("Sayloom")};
    }

    std::optional<RunningApplication> frontmost() const override { return front; }
    std::optional<RunningApplication> current() const override { return itself(); }
    void activate(const RunningApplication& application) override
    {
        activated.append(application.identity);
        front = application;
    }

    std::optional<RunningApplication> front = editor();
    QStringList activated;
};

class FakeClipboard final : public Clipboard {
public:
    void setText(const QString& value) override { text = value; }
    QString text;
};

class FakeSounds final : public Sounds {
public:
    void play(Cue cue, float volume) override { played.emplace_back(cue, volume); }
    int count(Cue cue) const
    {
        return int(std::count_if(played.begin(), played.end(), [cue](const auto& play) { return play.first == cue; }));
    }

    std::vector<std::pair<Cue, float>> played;
};

} // namespace sayloom::testing
