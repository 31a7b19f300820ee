#pragma once

#include "audio/AudioFormat.h"
#include "audio/AudioStream.h"
#include "audio/MicrophonePreference.h"
#include "history/HistoryEntry.h"
#include "session/EngineStatus.h"
#include "session/Preferences.h"
#include "session/SessionParts.h"
#include "session/ports/AccessibilityTrust.h"
#include "session/ports/RunningApplication.h"
#include "session/ports/Sounds.h"
#include "session/ports/Trigger.h"
#include "text/AIPolisher.h"
#include "text/BasicPolisher.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace sayloom {

class DictionaryCorrector;
class DictionaryStore;
class HistoryStore;

// The one dictation session of the running application: turns trigger presses and releases into takes
// (press-and-hold, a double tap for hands-free, a further press to finish, Escape to cancel), carries each take
// from the microphone through recognition, cleanup and the dictionary into the focused window, keeps the history
// and the settings, and tells the windows what is going on. Everything runs on the main thread; levels and
// partial transcripts from other threads are handed over to it first.
class AppState final : public QObject {
    Q_OBJECT
    Q_PROPERTY(sayloom::AppState::Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(bool isLocked READ isLocked NOTIFY isLockedChanged)
    Q_PROPERTY(QString liveTranscript READ liveTranscript NOTIFY liveTranscriptChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
    Q_PROPERTY(QList<sayloom::AccessGap> accessibilityGaps READ accessibilityGaps NOTIFY accessibilityGapsChanged)
    Q_PROPERTY(bool microphoneGranted READ microphoneGranted NOTIFY microphoneGrantedChanged)
    Q_PROPERTY(sayloom::EngineStatus engineStatus READ engineStatus NOTIFY engineStatusChanged)
    Q_PROPERTY(QList<sayloom::HistoryEntry> history READ history NOTIFY historyChanged)
    Q_PROPERTY(float inputLevel READ inputLevel NOTIFY inputLevelChanged)
    Q_PROPERTY(QList<float> levelHistory READ levelHistory NOTIFY levelHistoryChanged)
    Q_PROPERTY(std::optional<QDateTime> recordingStartedAt READ recordingStartedAt NOTIFY recordingStartedAtChanged)
    Q_PROPERTY(double lastDuration READ lastDuration NOTIFY lastDurationChanged)
    Q_PROPERTY(sayloom::Trigger trigger READ trigger WRITE setTrigger NOTIFY triggerChanged)
    Q_PROPERTY(bool aiCleanupEnabled READ aiCleanupEnabled WRITE setAiCleanupEnabled NOTIFY aiCleanupEnabledChanged)
    Q_PROPERTY(bool soundsEnabled READ soundsEnabled WRITE setSoundsEnabled NOTIFY soundsEnabledChanged)
    Q_PROPERTY(sayloom::MicrophonePreference microphone READ microphone WRITE setMicrophone NOTIFY microphoneChanged)
    Q_PROPERTY(std::optional<QString> activeMicrophoneName READ activeMicrophoneName NOTIFY activeMicrophoneNameChanged)
    Q_PROPERTY(QString aiStatus READ aiStatus NOTIFY aiStatusChanged)

public:
    // Where the current take is; `error` carries the message the overlay shows.
    class Phase {
    public:
        enum class Kind { idle, recording, transcribing, error };

        static Phase idle() { return Phase(Kind::idle, {}); }
        static Phase recording() { return Phase(Kind::recording, {}); }
        static Phase transcribing() { return Phase(Kind::transcribing, {}); }
        static Phase error(QString message) { return Phase(Kind::error, std::move(message)); }

        Phase() = default;

        Kind kind() const { return m_kind; }
        bool is(Kind kind) const { return m_kind == kind; }
        // Empty unless the phase is error.
        const QString& message() const { return m_message; }

        friend bool operator==(const Phase&, const Phase&) = default;

    private:
        Phase(Kind kind, QString message)
            : m_kind(kind)
            , m_message(std::move(message))
        {
        }

        Kind m_kind = Kind::idle;
        QString m_message;
    };

    // A release sooner than this after the press is a tap.
    static constexpr std::chrono::milliseconds tapThreshold{250};
    // A second tap released within this time after the first tap's release makes the take hands-free.
    static constexpr std::chrono::milliseconds doubleTapWindow{400};
    // Recording goes on for this long after the take is committed, so the last word is not cut off.
    static constexpr std::chrono::milliseconds tailDuration{300};
    // From the commit to the delivery at most.
    static constexpr std::chrono::milliseconds processingTimeout{20000};
    // A failure's phase returns to idle after this long.
    static constexpr std::chrono::milliseconds errorDuration{4000};
    static constexpr std::chrono::milliseconds accessibilityPollInterval{1000};
    // After Escape with the trigger held, how long the desktop has to act on that chord before the focus is put back.
    static constexpr std::chrono::milliseconds chordSettleDelay{150};
    static constexpr qsizetype levelHistoryCount = 48;
    static constexpr float cueVolume = 0.25f;

    // Asks whether accessibility is granted; the settings, the history and the dictionary come loaded.
    explicit AppState(SessionParts parts, QObject* parent = nullptr);
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    ~AppState() override;

    // Once, by the application: installs the level callback, wires and starts the hotkey monitor, then asks for
    // the microphone and waits for accessibility, and prepares the engine, both in the background.
    void start();
    // Starts a hands-free take, or finishes the one that is recording; does nothing while a take is processed.
    void toggleRecording();
    // Prepares the speech engine and reports it in engineStatus; start() calls it.
    QCoro::Task<void> prepareEngine();

    // Removes every history entry with this entry's id and saves the history.
    void deleteHistoryEntry(const HistoryEntry& entry);
    // Empties the history and saves it.
    void clearHistory();

    const Phase& phase() const { return m_phase; }
    bool isLocked() const { return m_isLocked; }
    const QString& liveTranscript() const { return m_liveTranscript; }
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    // What the desktop names as missing while accessibility is not granted; empty once it is.
    QList<AccessGap> accessibilityGaps() const { return m_accessibilityGaps; }
    bool microphoneGranted() const { return m_microphoneGranted; }
    const EngineStatus& engineStatus() const { return m_engineStatus; }
    const QList<HistoryEntry>& history() const;
    float inputLevel() const { return m_inputLevel; }
    const QList<float>& levelHistory() const { return m_levelHistory; }
    const std::optional<QDateTime>& recordingStartedAt() const { return m_recordingStartedAt; }
    double lastDuration() const { return m_lastDuration; }
    const std::optional<QString>& activeMicrophoneName() const { return m_activeMicrophoneName; }
    DictionaryStore& dictionary() const { return m_dictionary; }
    Preferences& preferences() const { return m_preferences; }
    // Whether a take is between its start and its end (delivered, failed or cancelled).
    bool isTakeRunning() const { return m_session != nullptr; }
    // The language model's availability as the settings show it; read afresh every time, and notified when the
    // model's availability changes.
    QString aiStatus() const;

    // The settings, as Preferences keeps them. Each setter stores its setting at once, also when the value is
    // unchanged. A trigger assigned while the old one is held releases the take as if the key had come up.
    Trigger trigger() const { return m_preferences.trigger(); }
    bool aiCleanupEnabled() const { return m_preferences.aiCleanupEnabled(); }
    bool soundsEnabled() const { return m_preferences.soundsEnabled(); }
    const MicrophonePreference& microphone() const { return m_preferences.microphone(); }
    void setTrigger(Trigger trigger);
    void setAiCleanupEnabled(bool enabled);
    void setSoundsEnabled(bool enabled);
    void setMicrophone(const MicrophonePreference& microphone);

signals:
    void phaseChanged();
    void isLockedChanged();
    void liveTranscriptChanged();
    void accessibilityGrantedChanged();
    void accessibilityGapsChanged();
    void microphoneGrantedChanged();
    void engineStatusChanged();
    void historyChanged();
    void inputLevelChanged();
    void levelHistoryChanged();
    void recordingStartedAtChanged();
    void lastDurationChanged();
    void triggerChanged();
    void aiCleanupEnabledChanged();
    void soundsEnabledChanged();
    void microphoneChanged();
    void activeMicrophoneNameChanged();
    void aiStatusChanged();

private:
    struct Take;
    class Relay;

    void triggerPressed();
    void triggerReleased();
    void cancelDictation(bool silently);
    QCoro::Task<void> restoreFocus(RunningApplication target);
    void beginDictation();
    void commitDictation();
    void markRecordingEnded();
    void resetSession();
    void fail(const QString& message);
    void play(Sounds::Cue cue);
    // Hands the trigger to the monitor; a held old key is released.
    void applyTrigger();

    QCoro::Task<void> runTake(std::shared_ptr<Take> take, AudioStream audio, AudioFormat format, QStringList terms,
                              TextPolisher* polisher, DictionaryCorrector corrector);
    QCoro::Task<void> deliver(std::shared_ptr<Take> take, QString text, QString raw,
                              QList<AppliedCorrection> corrections);
    QCoro::Task<void> runTail(std::shared_ptr<Take> take);
    QCoro::Task<void> runWatchdog(std::shared_ptr<Take> take);
    QCoro::Task<void> clearErrorLater();
    QCoro::Task<void> askForPermissions();
    QCoro::Task<void> recheckMicrophone();
    QCoro::Task<void> waitForAccessibility();
    QCoro::Task<void> runEngineTask();

    void receiveLevel(float level);
    void receivePartial(const std::shared_ptr<Take>& take, const QString& text);
    void updateAiStatus();

    void setPhase(Phase phase);
    void setIsLocked(bool locked);
    void setLiveTranscript(const QString& text);
    void setAccessibilityGranted(bool granted);
    // Asks the desktop again; true when granted.
    bool refreshAccessibility();
    void setMicrophoneGranted(bool granted);
    void setEngineStatus(EngineStatus status);
    void setInputLevel(float level);
    void setLevelHistory(QList<float> levels);
    void setRecordingStartedAt(std::optional<QDateTime> date);
    void setLastDuration(double seconds);
    void setActiveMicrophoneName(std::optional<QString> name);

    Clock& m_clock;
    Preferences& m_preferences;
    DictionaryStore& m_dictionary;
    HistoryStore& m_history;
    Recorder& m_recorder;
    InputDevices& m_inputDevices;
    TranscriptionEngine& m_engine;
    std::shared_ptr<LanguageModel> m_languageModel;
    HotkeyMonitor& m_hotkeyMonitor;
    Overlay& m_overlay;
    TextInserter& m_inserter;
    Permissions& m_permissions;
    AccessibilityTrust& m_accessibility;
    ActiveApplication& m_activeApplication;
    Clipboard& m_clipboard;
    Sounds& m_sounds;
    AIPolisher m_aiPolisher;
    BasicPolisher m_basicPolisher;
    // Hands levels and partial transcripts from other threads to this object while it exists.
    std::shared_ptr<Relay> m_relay;

    Phase m_phase;
    bool m_isLocked = false;
    QString m_liveTranscript;
    bool m_accessibilityGranted = false;
    QList<AccessGap> m_accessibilityGaps;
    bool m_microphoneGranted = false;
    EngineStatus m_engineStatus;
    quint64 m_enginePreparations = 0;
    // The last status text announced, so that a change of availability that keeps the text says nothing.
    QString m_aiStatus;
    float m_inputLevel = 0;
    QList<float> m_levelHistory;
    std::optional<QDateTime> m_recordingStartedAt;
    double m_lastDuration = 0;
    std::optional<QString> m_activeMicrophoneName;

    bool m_started = false;
    bool m_checkingMicrophone = false;
    // The running take, compared by identity: a timer of an earlier take never acts on a later one.
    std::shared_ptr<Take> m_session;
    std::optional<std::chrono::steady_clock::time_point> m_pressStartedAt;
    std::optional<std::chrono::steady_clock::time_point> m_lastTapEndedAt;
    bool m_ignoreNextRelease = false;
};

} // namespace sayloom
