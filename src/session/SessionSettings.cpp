#include "session/SessionSettings.h"

namespace sayloom {

Trigger SessionSettings::trigger() const
{
    const std::optional<QString> stored = m_store.stringValue(triggerKey);
    if (!stored) {
        return Trigger::rightOption;
    }
    return triggerFromRawValue(*stored).value_or(Trigger::rightOption);
}

bool SessionSettings::aiCleanupEnabled() const
{
    return m_store.boolValue(aiCleanupKey).value_or(true);
}

bool SessionSettings::soundsEnabled() const
{
    return m_store.boolValue(soundsKey).value_or(true);
}

MicrophonePreference SessionSettings::microphone() const
{
    return MicrophonePreference(m_store.stringValue(microphoneKey));
}

void SessionSettings::setTrigger(Trigger trigger)
{
    m_store.setString(triggerKey, rawValue(trigger));
}

void SessionSettings::setAiCleanupEnabled(bool enabled)
{
    m_store.setBool(aiCleanupKey, enabled);
}

void SessionSettings::setSoundsEnabled(bool enabled)
{
    m_store.setBool(soundsKey, enabled);
}

void SessionSettings::setMicrophone(const MicrophonePreference& microphone)
{
    m_store.setString(microphoneKey, microphone.storedValue());
}

} // namespace sayloom
