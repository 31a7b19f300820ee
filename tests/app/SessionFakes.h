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

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <coroutine>
#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace sayloom::testing {

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

// A point a fake waits at until the test (or another fake) opens it; the waiter is resumed from the event loop.
class Gate {
public:
    struct Awaiter {
        Gate* gate;
        bool await_ready() const noexcept { return gate->m_open; }
        void await_suspend(std::coroutine_handle<> waiter) { gate->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };

    // The awaiter refers to the gate, so it may be copied on its way into the coroutine.
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

    // Calls the level callback the way the capture thread does, from a thread of its own.
    void levelFromCaptureThread(float level);

    std::optional<AudioRecorderError> failure;
    int starts = 0;
    // Stops that ended a running capture.
    int stops = 0;
    bool isRecording() const { return m_continuation.has_value(); }
    std::optional<AudioInputDevice> lastDevice;
    // Told when the running capture ends.
    std::function<void()> onStreamEnd;

private:
    std::optional<AudioStream::Continuation> m_continuation;
    std::function<void(float)> m_onLevel;
};

class FakeInputDevices final : public InputDevices {
public:
    QList<AudioInputDevice> inputDevices() const override { return devices; }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const override;

    QList<AudioInputDevice> devices;
};

// Each take is one call. By default a call ends when its audio ends (the recorder's stop), with the outcome
// scripted for it; a call whose outcome is held waits until the test finishes it. A stop request ends a call with
// what it has.
class FakeEngine final : public TranscriptionEngine {
public:
    struct Call {
        PartialHandler onPartial;
        QStringList vocabulary;
        std::variant<QString, TranscriptionError> outcome = QString();
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
    void script(std::variant<QString, TranscriptionError> outcome, bool held = false);
    // Ends the latest call with its outcome.
    void finish();
    void audioEnded();
    Call* latest() { return m_calls.empty() ? nullptr : m_calls.back().get(); }
    std::size_t callCount() const { return m_calls.size(); }
    const std::vector<std::unique_ptr<Call>>& calls() const { return m_calls; }
    // Drops the record of finished calls.
    void forgetCalls();

    std::optional<QString> prepareFailure;
    Gate prepareGate;
    bool prepareHeld = false;

private:
    std::optional<std::pair<std::variant<QString, TranscriptionError>, bool>> m_next;
    std::vector<std::unique_ptr<Call>> m_calls;
};

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
    void setOnChange(std::function<void(bool)> onChange) override { m_onChange = std::move(onChange); }
    void setOnCancel(std::function<void()> onCancel) override { m_onCancel = std::move(onCancel); }
    bool isDown() const override { return m_down; }
    void markUp() override { m_down = false; }
    void start() override;
    void stop() override;

    void press();
    void release();
    void escape();
    // A release the session hears without having heard the press.
    void reportRelease();

    int startCount = 0;
    bool running = false;

private:
    Trigger m_trigger = Trigger::rightOption;
    std::function<void(bool)> m_onChange;
    std::function<void()> m_onCancel;
    bool m_down = false;
};

class FakeOverlay final : public Overlay {
public:
    void show(const OverlayMode& mode) override { shown.push_back(mode); }
    void hide(std::chrono::milliseconds delay) override { hides.push_back(delay); }
    void push(float level) override { levels.push_back(level); }

    OverlayMode lastShown() const { return shown.empty() ? OverlayMode::hidden() : shown.back(); }
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
    void open(const QString& address) override { opened.append(address); }

    bool microphone = true;
    int requests = 0;
    QStringList opened;
};

class FakeAccessibility final : public AccessibilityTrust {
public:
    bool isTrusted() const override
    {
        ++queries;
        return trusted;
    }
    bool isTrustedPrompting() override
    {
        ++prompts;
        return trusted;
    }

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
    void setText(const QString& value) override
    {
        text = value;
        ++writes;
    }
    QString text;
    int writes = 0;
};

class FakeSounds final : public Sounds {
public:
    void play(Cue cue, float volume) override { played.push_back({cue, volume}); }
    int count(Cue cue) const;

    std::vector<std::pair<Cue, float>> played;
};

} // namespace sayloom::testing
