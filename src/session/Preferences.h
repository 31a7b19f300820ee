#pragma once

#include "audio/MicrophonePreference.h"
#include "session/ports/Trigger.h"
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

public:
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

    void setTrigger(Trigger trigger);
    void setAiCleanupEnabled(bool enabled);
    void setSoundsEnabled(bool enabled);
    void setMicrophone(const MicrophonePreference& microphone);
    void setLanguageModelURL(const QString& url);
    void setLanguageModelName(const QString& name);

signals:
    void triggerChanged();
    void aiCleanupEnabledChanged();
    void soundsEnabledChanged();
    void microphoneChanged();
    void languageModelURLChanged();
    void languageModelNameChanged();

private:
    SettingsStore& m_store;
    Trigger m_trigger;
    bool m_aiCleanupEnabled;
    bool m_soundsEnabled;
    MicrophonePreference m_microphone;
    QString m_languageModelURL;
    QString m_languageModelName;
};

} // namespace sayloom
