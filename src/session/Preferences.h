#pragma once

#include "audio/MicrophonePreference.h"
#include "session/ports/Trigger.h"
#include "speech/ServerSpeechEngine.h"
#include "text/LocalLanguageModel.h"

#include <QObject>
#include <QString>

#include <optional>

namespace sayloom {

class SettingsStore;

// Every setting the user keeps between runs, typed, each with its key, its default and what a stored value that is
// missing or of the wrong kind reads as. Values are read once, when the object is built, and each assignment writes
// its key at once, also when the value is unchanged; a change signal fires only when the value really changes.
// Main thread only.
class Preferences final : public QObject {
    Q_OBJECT
    Q_PROPERTY(sayloom::Trigger trigger READ trigger WRITE setTrigger NOTIFY triggerChanged)
    Q_PROPERTY(bool aiCleanupEnabled READ aiCleanupEnabled WRITE setAiCleanupEnabled NOTIFY aiCleanupEnabledChanged)
    Q_PROPERTY(bool soundsEnabled READ soundsEnabled WRITE setSoundsEnabled NOTIFY soundsEnabledChanged)
    Q_PROPERTY(sayloom::MicrophonePreference microphone READ microphone WRITE setMicrophone NOTIFY microphoneChanged)
    Q_PROPERTY(QString languageModelURL READ languageModelURL WRITE setLanguageModelURL NOTIFY languageModelURLChanged)
    Q_PROPERTY(
            QString languageModelName READ languageModelName WRITE setLanguageModelName NOTIFY languageModelNameChanged)
    Q_PROPERTY(sayloom::Preferences::SpeechEngine speechEngine READ speechEngine WRITE setSpeechEngine NOTIFY
                       speechEngineChanged)
    Q_PROPERTY(QString speechServerURL READ speechServerURL WRITE setSpeechServerURL NOTIFY speechServerURLChanged)
    Q_PROPERTY(
            QString speechServerModel READ speechServerModel WRITE setSpeechServerModel NOTIFY speechServerModelChanged)
    Q_PROPERTY(QString speechServerLanguage READ speechServerLanguage WRITE setSpeechServerLanguage NOTIFY
                       speechServerLanguageChanged)
    Q_PROPERTY(QString speechServerAPIKey READ speechServerAPIKey WRITE setSpeechServerAPIKey NOTIFY
                       speechServerAPIKeyChanged)
    Q_PROPERTY(QString pasteKey READ pasteKey CONSTANT)

public:
    // Which recogniser turns speech into text.
    enum class SpeechEngine { pocketsphinx, server };
    Q_ENUM(SpeechEngine)

    // The key to hold: a raw value of Trigger. Right Alt when missing, not a text, or not one of the raw values.
    static inline const QString triggerKey = QStringLiteral("trigger");
    // Whether the language model may clean up dictations: a boolean, on when missing or not a boolean.
    static inline const QString aiCleanupKey = QStringLiteral("aiCleanup");
    // Whether the start and stop cues play: a boolean, on when missing or not a boolean.
    static inline const QString soundsKey = QStringLiteral("sounds");
    // "automatic", "system" or a device's uid; automatic when missing or not a text.
    static inline const QString microphoneKey = QStringLiteral("microphone");
    // The local language model's base address, such as http://127.0.0.1:8080/v1; empty (not set up) when missing or
    // not a text. Read without surrounding blanks.
    static inline const QString languageModelURLKey = QStringLiteral("languageModelURL");
    // The model to ask; empty (the first one the server lists) when missing or not a text. Read without surrounding
    // blanks.
    static inline const QString languageModelNameKey = QStringLiteral("languageModelName");
    // "pocketsphinx" or "server"; anything else, or nothing, is PocketSphinx.
    static inline const QString speechEngineKey = QStringLiteral("speechEngine");
    // The speech server's base address, such as http://127.0.0.1:8080/v1, or its transcription endpoint; empty
    // (not set up) when missing or not a text. Read without surrounding blanks, like the three below.
    static inline const QString speechServerURLKey = QStringLiteral("speechServerURL");
    // The model to ask; empty (the first one the server lists) when missing or not a text.
    static inline const QString speechServerModelKey = QStringLiteral("speechServerModel");
    // The language spoken, as the server names it ("en"); "en" when missing or not a text, and stored empty for
    // the server to detect it.
    static inline const QString speechServerLanguageKey = QStringLiteral("speechServerLanguage");
    // Sent as a bearer token when the server wants one; empty when missing or not a text.
    static inline const QString speechServerAPIKeyKey = QStringLiteral("speechServerAPIKey");
    static inline const QString defaultSpeechServerLanguage = QStringLiteral("en");
    // On Wayland desktops that paste through a uinput keyboard: the key that types "v", by its Linux name
    // ("KEY_DOT"), for a layout the desktop does not tell us; empty (found from the desktop's keymap) when missing.
    // Set by hand in the settings file; read once at start.
    static inline const QString pasteKeyKey = QStringLiteral("pasteKey");

    // Why a server address typed by the user can't be used, in words for the user; nothing when it can: an http or
    // https address on this computer (127.0.0.0/8, ::1, localhost), or empty, which means not set up. Servers
    // elsewhere are refused, so nothing the user says leaves the machine.
    static std::optional<QString> serverAddressProblem(const QString& address);

    explicit Preferences(SettingsStore& store, QObject* parent = nullptr);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;
    ~Preferences() override;

    Trigger trigger() const { return m_trigger; }
    bool aiCleanupEnabled() const { return m_aiCleanupEnabled; }
    bool soundsEnabled() const { return m_soundsEnabled; }
    const MicrophonePreference& microphone() const { return m_microphone; }
    const QString& languageModelURL() const { return m_languageModelURL; }
    const QString& languageModelName() const { return m_languageModelName; }
    // The two language-model settings together.
    LocalLanguageModel::Configuration languageModel() const { return {m_languageModelURL, m_languageModelName}; }
    SpeechEngine speechEngine() const { return m_speechEngine; }
    const QString& speechServerURL() const { return m_speechServerURL; }
    const QString& speechServerModel() const { return m_speechServerModel; }
    const QString& speechServerLanguage() const { return m_speechServerLanguage; }
    const QString& speechServerAPIKey() const { return m_speechServerAPIKey; }
    const QString& pasteKey() const { return m_pasteKey; }
    // The five speech settings together.
    ServerSpeechEngine::Configuration speechServer() const;

    void setTrigger(Trigger trigger);
    void setAiCleanupEnabled(bool enabled);
    void setSoundsEnabled(bool enabled);
    void setMicrophone(const MicrophonePreference& microphone);
    void setLanguageModelURL(const QString& url);
    void setLanguageModelName(const QString& name);
    void setSpeechEngine(SpeechEngine engine);
    void setSpeechServerURL(const QString& url);
    void setSpeechServerModel(const QString& model);
    void setSpeechServerLanguage(const QString& language);
    void setSpeechServerAPIKey(const QString& key);

signals:
    void triggerChanged();
    void aiCleanupEnabledChanged();
    void soundsEnabledChanged();
    void microphoneChanged();
    void languageModelURLChanged();
    void languageModelNameChanged();
    void speechEngineChanged();
    void speechServerURLChanged();
    void speechServerModelChanged();
    void speechServerLanguageChanged();
    void speechServerAPIKeyChanged();
    // After any of the five speech settings changed.
    void speechServerChanged();

private:
    SettingsStore& m_store;
    Trigger m_trigger;
    bool m_aiCleanupEnabled;
    bool m_soundsEnabled;
    MicrophonePreference m_microphone;
    QString m_languageModelURL;
    QString m_languageModelName;
    SpeechEngine m_speechEngine;
    QString m_speechServerURL;
    QString m_speechServerModel;
    QString m_speechServerLanguage;
    QString m_speechServerAPIKey;
    QString m_pasteKey;
};

} // namespace sayloom
