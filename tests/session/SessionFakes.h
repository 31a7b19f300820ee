#pragma once

#include "audio/AudioDevices.h"
#include "session/InputDevices.h"
#include "session/Recorder.h"
#include "session/ports/AccessibilityTrust.h"
#include "session/ports/ActiveApplication.h"
#include "session/ports/Clipboard.h"
#include "session/ports/HotkeyMonitor.h"
#include "session/ports/Overlay.h"
#include "session/ports/Permissions.h"
#include "session/ports/Sounds.h"
#include "session/ports/TextInserter.h"
#include "speech/TranscriptionEngine.h"
#include "support/FakeClock.h"
#include "text/LanguageModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStringList>

#include <coroutine>
#include <map>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

// Fakes of the session's collaborators: each keeps its contract, at once or when the test says, and records what
// the tests check.
namespace sayloom::testing {

using namespace std::chrono_literals;

class FakeRecorder final : public Recorder {
public:
    std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>& device) override
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
    void stop() override
    {
        if (m_continuation) {
            std::exchange(m_continuation, std::nullopt)->finish();
            ++stops;
            onStreamEnd();
        }
    }
    void setOnLevel(std::function<void(float)> onLevel) override { m_onLevel = std::move(onLevel); }

    // Calls the level callback from a thread of its own, as the capture thread does.
    void levelFromCaptureThread(float level)
    {
        std::thread([this, level] { m_onLevel(level); }).join();
    }
    bool isRecording() const { return m_continuation.has_value(); }

    std::optional<AudioRecorderError> failure;
    int starts = 0;
    // Stops that ended a running capture.
    int stops = 0;
    std::optional<AudioInputDevice> lastDevice;
    std::function<void()> onStreamEnd = [] {};

private:
    std::optional<AudioStream::Continuation> m_continuation;
    std::function<void(float)> m_onLevel;
};

// Each take is one call. A call ends when its audio ends with the outcome scripted for it, or, when that outcome
// is held, when the test finishes it. A stop request ends it at once with nothing.
class FakeEngine final : public TranscriptionEngine {
public:
    using Outcome = std::variant<QString, TranscriptionError>;
    struct Call {
        PartialHandler onPartial;
        QStringList vocabulary;
        Outcome outcome = QString();
        bool held = false;
        bool finished = false;
        bool stopped = false;
        Gate gate;
    };

    QString name() const override { return QStringLiteral("PocketSphinx"); }
    QCoro::Task<void> prepare() override
    {
        if (prepareHeld) {
            Gate::Awaiter prepared = prepareGate.wait();
            co_await prepared;
        }
        if (prepareFailure) {
            throw TranscriptionError(*prepareFailure);
        }
    }
    QCoro::Task<QString> transcribe(AudioStream, AudioFormat, QStringList vocabulary, PartialHandler onPartial,
                                    std::stop_token stop) override
    {
        Call* call = m_calls.emplace_back(std::make_unique<Call>()).get();
        call->onPartial = std::move(onPartial);
        call->vocabulary = std::move(vocabulary);
        if (m_next) {
            std::tie(call->outcome, call->held) = *std::exchange(m_next, std::nullopt);
        }
        const std::stop_callback onStop(stop, [call] { call->gate.open(); });
        Gate::Awaiter ended = call->gate.wait();
        co_await ended;
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

    // The outcome of the next call; an empty text when none is scripted.
    void script(Outcome outcome, bool held = false) { m_next.emplace(std::move(outcome), held); }
    // Ends the latest call; when its audio ended (`evenIfHeld` false), only if its outcome is not held.
    void finish(bool evenIfHeld = true)
    {
        if (Call* call = latest(); call && (evenIfHeld || !call->held)) {
            call->gate.open();
        }
    }
    Call* latest() { return m_calls.empty() ? nullptr : m_calls.back().get(); }
    const std::vector<std::unique_ptr<Call>>& calls() const { return m_calls; }
    void forgetFinishedCalls()
    {
        std::erase_if(m_calls, [](const auto& call) { return call->finished; });
    }

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
    class Refusing final : public LanguageModelSession {
    public:
        void prewarm() override {}
        QCoro::Task<QString> respond(QString, GenerationOptions, std::stop_token) override
        {
            throw LanguageModelError(QStringLiteral("no model here"));
            co_return QString();
        }
    };

    LanguageModelAvailability availability() const override { return available; }
    void setAvailability(LanguageModelAvailability availability)
    {
        available = availability;
        emit availabilityChanged();
    }
    std::shared_ptr<LanguageModelSession> makeSession(const QString&) override
    {
        ++sessionsMade;
        return std::make_shared<Refusing>();
    }

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
    void start() override { ++starts; }
    void stop() override { key(false); }

    // The trigger key going down or up; a repeat reports nothing.
    void key(bool down)
    {
        if (std::exchange(m_down, down) != down && onChange) {
            onChange(down);
        }
    }

    std::function<void(bool)> onChange;
    std::function<void()> onCancel;
    int starts = 0;

private:
    Trigger m_trigger = Trigger::rightOption;
    bool m_down = false;
};

// What surrounds the session and only answers and records: the input devices (the first is the default), the
// overlay, the windows with the focus (an activation confirmed 80 ms later), the paste (done at once, complete 0.3 s
// later on the session's clock), the clipboard, the sounds and the permissions.
class FakeDesktop final : public InputDevices,
                          public Overlay,
                          public ActiveApplication,
                          public TextInserter,
                          public Clipboard,
                          public Sounds,
                          public Permissions,
                          public AccessibilityTrust {
public:
    explicit FakeDesktop(Clock& clock)
        : m_clock(clock)
    {
    }

    QList<AudioInputDevice> inputDevices() const override { return devices; }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const override
    {
        return AudioDevices::resolve(preference, devices,
                                     devices.isEmpty() ? std::nullopt : std::optional<std::uint32_t>(devices[0].id));
    }

    void show(const OverlayMode& mode) override
    {
        ++shows, overlay = mode;
        if (mode.kind() == OverlayMode::Kind::message) {
            message = mode.text();
        }
    }
    void hide(std::chrono::milliseconds delay) override { hides.push_back(delay); }
    void push(float level) override { levels.push_back(level); }

    static inline const RunningApplication editor{QStringLiteral("4242"), QStringLiteral("org.gnome.TextEditor"),
                                                  QStringLiteral("Text Editor")};
    static inline const RunningApplication itself{QStringLiteral("1"), QStringLiteral("app.sayloom.Sayloom"),
                                                  QStringLiteral("Sayloom")};
    std::optional<RunningApplication> frontmost() const override { return front; }
    std::optional<RunningApplication> current() const override { return itself; }
    // The window manager takes 80 ms to report the window active.
    QCoro::Task<void> activate(RunningApplication application) override
    {
        activated.append(application.identity);
        QCoro::Task<void> confirmation = m_clock.sleep(80ms);
        co_await std::move(confirmation);
        front = application;
    }

    QCoro::Task<void> insert(QString text, std::optional<RunningApplication> target) override
    {
        inserted.append(text);
        insertedInto.push_back(target);
        QCoro::Task<void> pause = m_clock.sleep(300ms);
        co_await std::move(pause);
        ++insertionsCompleted;
    }
    void setText(const QString& text) override { copied = text; }
    void play(Cue cue, float volume) override { played.emplace_back(cue, volume); }
    int count(Cue cue) const
    {
        return int(std::count_if(played.begin(), played.end(), [cue](const auto& play) { return play.first == cue; }));
    }

    QCoro::Task<bool> requestMicrophone() override { co_return microphone; }
    void open(const QString& page) override { opened.append(page); }
    bool isTrusted() const override { return trusted; }
    bool isTrustedPrompting() override { return ++prompts, trusted; }
    QList<AccessGap> missing() const override { return gaps; }

    QList<AudioInputDevice> devices;
    // The overlay's last mode and message, and how often it was shown.
    OverlayMode overlay = OverlayMode::hidden();
    QString message;
    int shows = 0;
    std::vector<std::chrono::milliseconds> hides;
    std::vector<float> levels;
    std::optional<RunningApplication> front = editor;
    QStringList activated;
    QStringList inserted;
    std::vector<std::optional<RunningApplication>> insertedInto;
    int insertionsCompleted = 0;
    QString copied;
    std::vector<std::pair<Cue, float>> played;
    bool microphone = true;
    // The settings pages opened, in order.
    QStringList opened;
    bool trusted = true;
    QList<AccessGap> gaps;
    int prompts = 0;

private:
    Clock& m_clock;
};

} // namespace sayloom::testing
