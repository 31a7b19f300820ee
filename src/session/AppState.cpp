#include "session/AppState.h"

#include "base/DetachedTask.h"
#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryStore.h"
#include "history/HistoryStore.h"
#include "session/InputDevices.h"
#include "session/Recorder.h"
#include "session/ports/AccessibilityTrust.h"
#include "session/ports/ActiveApplication.h"
#include "session/ports/Clipboard.h"
#include "session/ports/Clock.h"
#include "session/ports/HotkeyMonitor.h"
#include "session/ports/Overlay.h"
#include "session/ports/Permissions.h"
#include "session/ports/TextInserter.h"
#include "speech/TranscriptionEngine.h"
#include "text/LanguageModel.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>

#include <mutex>
#include <stop_token>

namespace sayloom {

Q_LOGGING_CATEGORY(lcPipeline, "app.sayloom.pipeline", QtInfoMsg)

using namespace std::chrono_literals;

// One take, from its start to its end. The session handle and the delayed tasks of a take all hold the same
// object, so comparing pointers tells whether a task still belongs to the running take.
struct AppState::Take {
    // Requested when the take is cancelled; the take's task checks it before every effect.
    std::stop_source stop;
    // The application that had the focus when the take started; the text goes there.
    std::optional<RunningApplication> targetApp;
    bool committed = false;
    // Set by whoever stops the recorder for this take, so it is stopped once.
    bool recorderStopped = false;
    // From the history entry on: the text is being handed over and the watchdog no longer applies.
    bool delivering = false;
};

// Levels and partial transcripts arrive on other threads. They are posted to the session through this relay, which
// forgets the session under its lock when the session goes, so nothing is posted to a destroyed object.
class AppState::Relay {
public:
    explicit Relay(AppState* target)
        : m_target(target)
    {
    }

    template <typename Work>
    void post(Work work)
    {
        const std::lock_guard lock(m_mutex);
        if (m_target == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
                m_target, [target = m_target, work = std::move(work)] { work(*target); }, Qt::QueuedConnection);
    }

    void forget()
    {
        const std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

private:
    std::mutex m_mutex;
    AppState* m_target;
};

namespace {

template <typename T, typename Signal>
void assign(AppState* state, T& field, T value, Signal changed)
{
    if (field == value) {
        return;
    }
    field = std::move(value);
    emit(state->*changed)();
}

QList<float> silentLevels()
{
    return QList<float>(AppState::levelHistoryCount, 0.0f);
}

} // namespace

AppState::AppState(SessionParts parts, QObject* parent)
    : QObject(parent)
    , m_clock(parts.clock)
    , m_preferences(parts.preferences)
    , m_dictionary(parts.dictionary)
    , m_history(parts.history)
    , m_recorder(parts.recorder)
    , m_inputDevices(parts.inputDevices)
    , m_engine(parts.engine)
    , m_languageModel(std::move(parts.languageModel))
    , m_hotkeyMonitor(parts.desktop.hotkeyMonitor)
    , m_overlay(parts.desktop.overlay)
    , m_inserter(parts.desktop.inserter)
    , m_permissions(parts.desktop.permissions)
    , m_accessibility(parts.desktop.accessibility)
    , m_activeApplication(parts.desktop.activeApplication)
    , m_clipboard(parts.desktop.clipboard)
    , m_sounds(parts.desktop.sounds)
    , m_aiPolisher(m_languageModel)
    , m_relay(std::make_shared<Relay>(this))
    , m_levelHistory(silentLevels())
{
    m_accessibilityGranted = m_accessibility.isTrusted();
    if (!m_accessibilityGranted) {
        m_accessibilityGaps = m_accessibility.missing();
    }
    m_aiStatus = aiStatus();
    connect(&m_history, &HistoryStore::entriesChanged, this, &AppState::historyChanged);
    connect(m_languageModel.get(), &LanguageModel::availabilityChanged, this, &AppState::updateAiStatus);
    // Whoever assigns a setting (this object or the settings window), the session follows it.
    connect(&m_preferences, &Preferences::triggerChanged, this, [this] {
        applyTrigger();
        emit triggerChanged();
    });
    connect(&m_preferences, &Preferences::aiCleanupEnabledChanged, this, &AppState::aiCleanupEnabledChanged);
    connect(&m_preferences, &Preferences::soundsEnabledChanged, this, &AppState::soundsEnabledChanged);
    connect(&m_preferences, &Preferences::microphoneChanged, this, &AppState::microphoneChanged);
    // The engine follows this setting (the application wires it so before the session exists); once running, the
    // newly chosen one is prepared and the status line names it.
    connect(&m_preferences, &Preferences::speechEngineChanged, this, [this] {
        if (m_started) {
            runDetached(runEngineTask(), "Preparing the engine");
        }
    });
}

AppState::~AppState()
{
    // The level callback stays installed (the recorder wants it set only between takes); the relay drops what it
    // brings from now on.
    m_relay->forget();
    if (m_session) {
        m_session->stop.request_stop();
        m_recorder.stop();
    }
}

// Start-up

void AppState::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    m_recorder.setOnLevel(
            [relay = m_relay](float level) { relay->post([level](AppState& state) { state.receiveLevel(level); }); });
    applyTrigger();
    QPointer<AppState> self(this);
    m_hotkeyMonitor.setOnChange([self](bool down) {
        if (!self) {
            return;
        }
        if (down) {
            self->triggerPressed();
        } else {
            self->triggerReleased();
        }
    });
    m_hotkeyMonitor.setOnCancel([self] {
        if (!self) {
            return;
        }
        // Escape with the trigger held is a chord the desktop may own (Alt+Escape lowers or switches windows on
        // openbox, xfwm and GNOME); it takes the focus from the window the take was for, so it is given back.
        const std::optional<RunningApplication> target =
                self->m_session && self->m_hotkeyMonitor.isDown() ? self->m_session->targetApp : std::nullopt;
        self->cancelDictation(false);
        if (target) {
            runDetached(self->restoreFocus(*target), "Giving the focus back");
        }
    });
    m_hotkeyMonitor.start();
    // A sound server that was not up at start, or a first microphone plugged in later, makes dictation possible
    // without a restart.
    connect(&m_inputDevices, &InputDevices::devicesChanged, this,
            [this] { runDetached(recheckMicrophone(), "Checking the microphone"); });
    runDetached(askForPermissions(), "Asking for permissions");
    runDetached(runEngineTask(), "Preparing the engine");
}

QCoro::Task<void> AppState::askForPermissions()
{
    QPointer<AppState> self(this);
    QCoro::Task<bool> request = m_permissions.requestMicrophone();
    const bool granted = co_await std::move(request);
    if (!self) {
        co_return;
    }
    setMicrophoneGranted(granted);
    if (!m_accessibilityGranted) {
        m_accessibility.isTrustedPrompting();
    }
    QCoro::Task<void> waiting = waitForAccessibility();
    co_await std::move(waiting);
}

QCoro::Task<void> AppState::recheckMicrophone()
{
    if (m_microphoneGranted || m_checkingMicrophone) {
        co_return;
    }
    m_checkingMicrophone = true;
    QPointer<AppState> self(this);
    QCoro::Task<bool> request = m_permissions.requestMicrophone();
    const bool granted = co_await std::move(request);
    if (!self) {
        co_return;
    }
    m_checkingMicrophone = false;
    if (granted) {
        setMicrophoneGranted(true);
    }
}

QCoro::Task<void> AppState::waitForAccessibility()
{
    QPointer<AppState> self(this);
    while (!refreshAccessibility()) {
        QCoro::Task<void> pause = m_clock.sleep(accessibilityPollInterval);
        co_await std::move(pause);
        if (!self) {
            co_return;
        }
    }
    // The monitor may have been refused the key events before access was granted.
    m_hotkeyMonitor.stop();
    m_hotkeyMonitor.start();
}

QCoro::Task<void> AppState::runEngineTask()
{
    QCoro::Task<void> preparing = prepareEngine();
    co_await std::move(preparing);
}

QCoro::Task<void> AppState::prepareEngine()
{
    QPointer<AppState> self(this);
    const quint64 preparation = ++m_enginePreparations;
    const QString name = m_engine.name();
    setEngineStatus(EngineStatus::preparing(name));
    std::optional<QString> failure;
    try {
        QCoro::Task<void> preparing = m_engine.prepare();
        co_await std::move(preparing);
    } catch (const TranscriptionError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    // A later preparation (another engine chosen meanwhile) has the last word.
    if (!self || preparation != m_enginePreparations) {
        co_return;
    }
    if (failure) {
        setEngineStatus(EngineStatus::failed(*failure));
        qCCritical(lcPipeline, "Engine prepare failed: %s", qUtf8Printable(*failure));
        co_return;
    }
    setEngineStatus(EngineStatus::ready(name));
}

QString AppState::aiStatus() const
{
    return availabilityText(m_languageModel->availability());
}

void AppState::updateAiStatus()
{
    assign(this, m_aiStatus, aiStatus(), &AppState::aiStatusChanged);
}

// Trigger handling

void AppState::triggerPressed()
{
    if (m_isLocked) {
        // The press that finishes a hands-free take; its release must not count as anything.
        setIsLocked(false);
        m_ignoreNextRelease = true;
        commitDictation();
        return;
    }
    beginDictation();
}

void AppState::triggerReleased()
{
    if (m_ignoreNextRelease) {
        m_ignoreNextRelease = false;
        return;
    }
    if (!m_session || !m_phase.is(Phase::Kind::recording) || m_isLocked) {
        return;
    }
    if (!m_pressStartedAt) {
        return;
    }
    const auto now = m_clock.now();
    if (now - *m_pressStartedAt >= tapThreshold) {
        commitDictation();
        return;
    }
    if (m_lastTapEndedAt && now - *m_lastTapEndedAt < doubleTapWindow) {
        m_lastTapEndedAt.reset();
        setIsLocked(true);
        m_overlay.show(OverlayMode::listening(true));
        qCDebug(lcPipeline, "Hands-free locked");
        return;
    }
    m_lastTapEndedAt = now;
    cancelDictation(true);
}

void AppState::toggleRecording()
{
    if (!m_session) {
        beginDictation();
        if (m_session) {
            setIsLocked(true);
            m_overlay.show(OverlayMode::listening(true));
        }
        return;
    }
    if (m_phase.is(Phase::Kind::recording)) {
        setIsLocked(false);
        commitDictation();
    }
}

void AppState::cancelDictation(bool silently)
{
    if (!m_session) {
        return;
    }
    const std::shared_ptr<Take> take = m_session;
    if (!take->recorderStopped) {
        take->recorderStopped = true;
        m_recorder.stop();
    }
    take->stop.request_stop();
    setIsLocked(false);
    markRecordingEnded();
    resetSession();
    if (silently) {
        m_overlay.hide(0ms);
    } else {
        m_overlay.show(OverlayMode::message(QStringLiteral("Cancelled")));
        m_overlay.hide(1s);
    }
    qCDebug(lcPipeline, "Dictation cancelled");
}

QCoro::Task<void> AppState::restoreFocus(RunningApplication target)
{
    QPointer<AppState> self(this);
    QCoro::Task<void> pause = m_clock.sleep(chordSettleDelay);
    co_await std::move(pause);
    if (!self || m_session || m_activeApplication.frontmost() == target) {
        co_return;
    }
    QCoro::Task<void> activation = m_activeApplication.activate(target);
    co_await std::move(activation);
}

// A take

void AppState::beginDictation()
{
    if (m_session) {
        return;
    }
    if (!m_microphoneGranted) {
        fail(QStringLiteral("Microphone access is off"));
        return;
    }
    const std::optional<AudioInputDevice> device = m_inputDevices.resolve(microphone());
    setActiveMicrophoneName(device ? std::optional<QString>(device->name) : std::nullopt);
    std::variant<Recorder::Recording, AudioRecorderError> started = m_recorder.start(device);
    if (const auto* error = std::get_if<AudioRecorderError>(&started)) {
        fail(u"Mic failed: " + error->description());
        return;
    }
    Recorder::Recording recording = std::get<Recorder::Recording>(std::move(started));

    TextPolisher* polisher = &m_basicPolisher;
    if (aiCleanupEnabled() && m_languageModel->availability() == LanguageModelAvailability::available) {
        polisher = &m_aiPolisher;
    }
    polisher->prewarm();

    auto take = std::make_shared<Take>();
    take->targetApp = m_activeApplication.frontmost();
    m_pressStartedAt = m_clock.now();
    setRecordingStartedAt(m_clock.wallNow());
    setLiveTranscript({});
    setPhase(Phase::recording());
    m_overlay.show(OverlayMode::listening(false));
    play(Sounds::Cue::begin);
    qCDebug(lcPipeline, "Recording started");

    // The session is set before the task starts: the task runs at once up to its first wait, and an engine that
    // fails straight away must find its own take running.
    m_session = take;
    runDetached(runTake(take, std::move(recording.stream), recording.format, m_dictionary.biasTerms(), polisher,
                        m_dictionary.corrector()),
                "A take");
}

void AppState::commitDictation()
{
    if (!m_session || m_session->committed) {
        return;
    }
    const std::shared_ptr<Take> take = m_session;
    take->committed = true;
    setPhase(Phase::transcribing());
    m_overlay.show(OverlayMode::processing());
    markRecordingEnded();
    runDetached(runTail(take), "The tail of a take");
    runDetached(runWatchdog(take), "The watchdog of a take");
}

QCoro::Task<void> AppState::runTail(std::shared_ptr<Take> take)
{
    QPointer<AppState> self(this);
    QCoro::Task<void> tail = m_clock.sleep(tailDuration);
    co_await std::move(tail);
    if (!self || m_session != take || take->recorderStopped) {
        co_return;
    }
    take->recorderStopped = true;
    m_recorder.stop();
    play(Sounds::Cue::end);
}

QCoro::Task<void> AppState::runWatchdog(std::shared_ptr<Take> take)
{
    QPointer<AppState> self(this);
    QCoro::Task<void> limit = m_clock.sleep(processingTimeout);
    co_await std::move(limit);
    // Once the text is being handed over it is in the history and on its way; calling that a failure would
    // make the user dictate it again.
    if (!self || m_session != take || take->delivering) {
        co_return;
    }
    qCCritical(lcPipeline, "Processing timed out");
    cancelDictation(true);
    fail(QStringLiteral("Took too long — try again"));
}

QCoro::Task<void> AppState::runTake(std::shared_ptr<Take> take, AudioStream audio, AudioFormat format,
                                    QStringList terms, TextPolisher* polisher, DictionaryCorrector corrector)
{
    QPointer<AppState> self(this);
    const std::weak_ptr<Take> weakTake = take;
    TranscriptionEngine::PartialHandler onPartial = [relay = m_relay, weakTake](const QString& text) {
        relay->post([weakTake, text](AppState& state) {
            if (const std::shared_ptr<Take> partialTake = weakTake.lock()) {
                state.receivePartial(partialTake, text);
            }
        });
    };
    QString raw;
    std::optional<QString> failure;
    try {
        QCoro::Task<QString> transcription =
                m_engine.transcribe(std::move(audio), format, terms, std::move(onPartial), take->stop.get_token());
        raw = co_await std::move(transcription);
    } catch (const TranscriptionError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    if (!self || take->stop.stop_requested()) {
        co_return;
    }
    if (failure) {
        qCCritical(lcPipeline, "Transcription failed: %s", qUtf8Printable(*failure));
        if (!take->committed) {
            // The engine gave up while the user was still recording: end the recording too, or the microphone
            // stays open and a hands-free lock outlives its take.
            setIsLocked(false);
            markRecordingEnded();
        }
        resetSession();
        fail(*failure);
        co_return;
    }
    if (!take->committed) {
        // The audio ended before the user finished (the sound server went away): the take is committed as it is.
        setIsLocked(false);
        commitDictation();
    }

    std::optional<QString> bundleIdentifier;
    if (take->targetApp) {
        bundleIdentifier = take->targetApp->applicationId;
    }
    QString polished;
    try {
        QCoro::Task<QString> polishing = polisher->polish(raw, PolishContext{bundleIdentifier, terms});
        polished = co_await std::move(polishing);
    } catch (const std::exception&) {
        polished = BasicPolisher::polished(raw);
    }
    if (!self) {
        co_return;
    }
    const DictionaryCorrector::Result corrected = corrector.apply(polished);
    if (take->stop.stop_requested()) {
        co_return;
    }
    QCoro::Task<void> delivery = deliver(take, corrected.text, raw, corrected.corrections);
    co_await std::move(delivery);
}

QCoro::Task<void> AppState::deliver(std::shared_ptr<Take> take, QString text, QString raw,
                                    QList<AppliedCorrection> corrections)
{
    QPointer<AppState> self(this);
    if (text.isEmpty()) {
        m_overlay.show(OverlayMode::message(QStringLiteral("Didn't catch that")));
        m_overlay.hide(2s);
        if (!take->stop.stop_requested()) {
            resetSession();
        }
        co_return;
    }

    take->delivering = true;
    HistoryEntry entry;
    entry.text = text;
    entry.raw = raw;
    entry.date = m_clock.wallNow();
    if (take->targetApp) {
        entry.appName = take->targetApp->displayName;
    }
    entry.duration = m_lastDuration;
    entry.corrections = corrections;
    // A failed save is logged by the store and otherwise not reported: the list in memory stays the truth.
    m_history.add(entry);

    if (take->targetApp == m_activeApplication.current()) {
        m_clipboard.setText(text);
        m_overlay.show(OverlayMode::message(QStringLiteral("Copied to clipboard")));
        m_overlay.hide(2s);
    } else if (!m_accessibilityGranted) {
        m_clipboard.setText(text);
        fail(QStringLiteral("Copied — grant Accessibility so Sayloom can type"));
    } else {
        if (take->targetApp && m_activeApplication.frontmost() != take->targetApp) {
            QCoro::Task<void> activation = m_activeApplication.activate(*take->targetApp);
            co_await std::move(activation);
            if (!self) {
                co_return;
            }
        }
        m_overlay.hide(0ms);
        QCoro::Task<void> insertion = m_inserter.insert(text, take->targetApp);
        co_await std::move(insertion);
        if (!self) {
            co_return;
        }
    }
    if (take->stop.stop_requested()) {
        co_return;
    }
    resetSession();
}

void AppState::markRecordingEnded()
{
    if (m_recordingStartedAt) {
        const qint64 elapsed = m_recordingStartedAt->msecsTo(m_clock.wallNow());
        setLastDuration(double(elapsed) / 1000.0);
    }
    setRecordingStartedAt(std::nullopt);
    setInputLevel(0);
    setLevelHistory(silentLevels());
}

void AppState::resetSession()
{
    if (m_session && !m_session->recorderStopped) {
        // The take ended before its tail stopped the recorder; nobody else would.
        m_session->recorderStopped = true;
        m_recorder.stop();
    }
    m_session.reset();
    m_pressStartedAt.reset();
    if (!m_phase.is(Phase::Kind::error)) {
        setPhase(Phase::idle());
    }
}

void AppState::fail(const QString& message)
{
    setPhase(Phase::error(message));
    m_overlay.show(OverlayMode::message(message));
    m_overlay.hide(3s);
    runDetached(clearErrorLater(), "Clearing an error");
}

QCoro::Task<void> AppState::clearErrorLater()
{
    QPointer<AppState> self(this);
    QCoro::Task<void> pause = m_clock.sleep(errorDuration);
    co_await std::move(pause);
    if (self && m_phase.is(Phase::Kind::error)) {
        setPhase(Phase::idle());
    }
}

void AppState::play(Sounds::Cue cue)
{
    if (soundsEnabled()) {
        m_sounds.play(cue, cueVolume);
    }
}

void AppState::receiveLevel(float level)
{
    m_overlay.push(level);
    if (!m_phase.is(Phase::Kind::recording)) {
        return;
    }
    setInputLevel(level);
    QList<float> levels = m_levelHistory;
    levels.removeFirst();
    levels.append(level);
    setLevelHistory(std::move(levels));
}

void AppState::receivePartial(const std::shared_ptr<Take>& take, const QString& text)
{
    if (take != m_session) {
        return;
    }
    setLiveTranscript(text);
}

// History

const QList<HistoryEntry>& AppState::history() const
{
    return m_history.entries();
}

void AppState::deleteHistoryEntry(const HistoryEntry& entry)
{
    m_history.remove(entry);
}

void AppState::clearHistory()
{
    m_history.clear();
}

// Settings

void AppState::setTrigger(Trigger trigger)
{
    m_preferences.setTrigger(trigger);
    // Unchanged, the setting says nothing; a take held with the key still ends.
    applyTrigger();
}

void AppState::applyTrigger()
{
    m_hotkeyMonitor.setTrigger(trigger());
    if (m_hotkeyMonitor.isDown()) {
        // A take held with the old key ends as if the key had come up.
        m_hotkeyMonitor.markUp();
        if (m_started) {
            triggerReleased();
        }
    }
}

void AppState::setAiCleanupEnabled(bool enabled)
{
    m_preferences.setAiCleanupEnabled(enabled);
}

void AppState::setSoundsEnabled(bool enabled)
{
    m_preferences.setSoundsEnabled(enabled);
}

void AppState::setMicrophone(const MicrophonePreference& microphone)
{
    m_preferences.setMicrophone(microphone);
}

// Observable fields

void AppState::setPhase(Phase phase)
{
    assign(this, m_phase, std::move(phase), &AppState::phaseChanged);
}

void AppState::setIsLocked(bool locked)
{
    assign(this, m_isLocked, locked, &AppState::isLockedChanged);
}

void AppState::setLiveTranscript(const QString& text)
{
    assign(this, m_liveTranscript, text, &AppState::liveTranscriptChanged);
}

bool AppState::refreshAccessibility()
{
    // A desktop with several grants may get one of them before the others; the windows follow each.
    const bool granted = m_accessibility.isTrusted();
    assign(this, m_accessibilityGaps, granted ? QList<AccessGap>() : m_accessibility.missing(),
           &AppState::accessibilityGapsChanged);
    setAccessibilityGranted(granted);
    return granted;
}

void AppState::setAccessibilityGranted(bool granted)
{
    assign(this, m_accessibilityGranted, granted, &AppState::accessibilityGrantedChanged);
}

void AppState::setMicrophoneGranted(bool granted)
{
    assign(this, m_microphoneGranted, granted, &AppState::microphoneGrantedChanged);
}

void AppState::setEngineStatus(EngineStatus status)
{
    assign(this, m_engineStatus, std::move(status), &AppState::engineStatusChanged);
}

void AppState::setInputLevel(float level)
{
    assign(this, m_inputLevel, level, &AppState::inputLevelChanged);
}

void AppState::setLevelHistory(QList<float> levels)
{
    assign(this, m_levelHistory, std::move(levels), &AppState::levelHistoryChanged);
}

void AppState::setRecordingStartedAt(std::optional<QDateTime> date)
{
    assign(this, m_recordingStartedAt, std::move(date), &AppState::recordingStartedAtChanged);
}

void AppState::setLastDuration(double seconds)
{
    assign(this, m_lastDuration, seconds, &AppState::lastDurationChanged);
}

void AppState::setActiveMicrophoneName(std::optional<QString> name)
{
    assign(this, m_activeMicrophoneName, std::move(name), &AppState::activeMicrophoneNameChanged);
}

} // namespace sayloom
