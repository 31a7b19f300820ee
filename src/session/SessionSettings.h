#pragma once

#include "audio/MicrophonePreference.h"
#include "session/SettingsStore.h"
#include "session/ports/HotkeyMonitor.h"

namespace sayloom {

// The session's four settings, each with its key, type and default. Read once when the session is built and
// written on every assignment.
class SessionSettings final {
public:
    static inline const QString triggerKey = QStringLiteral("trigger");
    static inline const QString aiCleanupKey = QStringLiteral("aiCleanup");
    static inline const QString soundsKey = QStringLiteral("sounds");
    static inline const QString microphoneKey = QStringLiteral("microphone");

    explicit SessionSettings(SettingsStore& store)
        : m_store(store)
    {
    }
    SessionSettings(const SessionSettings&) = delete;
    SessionSettings& operator=(const SessionSettings&) = delete;

    // Right Alt when absent, not a text, or not one of the four raw values.
    Trigger trigger() const;
    // On when absent or not a boolean.
    bool aiCleanupEnabled() const;
    // On when absent or not a boolean.
    bool soundsEnabled() const;
    // Automatic when absent or not a text.
    MicrophonePreference microphone() const;

    void setTrigger(Trigger trigger);
    void setAiCleanupEnabled(bool enabled);
    void setSoundsEnabled(bool enabled);
    void setMicrophone(const MicrophonePreference& microphone);

private:
    SettingsStore& m_store;
};

} // namespace sayloom
