#pragma once

#include <QString>

#include <cstddef>
#include <optional>

namespace sayloom {

// Which microphone the user wants: one particular device, the automatic choice (the default input unless it is a
// Bluetooth headset), or whatever the system's default input is.
class MicrophonePreference {
public:
    enum class Kind { device, automatic, systemDefault };

    static MicrophonePreference device(QString uid) { return MicrophonePreference(Kind::device, std::move(uid)); }
    static MicrophonePreference automatic() { return MicrophonePreference(Kind::automatic, {}); }
    static MicrophonePreference systemDefault() { return MicrophonePreference(Kind::systemDefault, {}); }

    // Reads a stored setting: nothing or "automatic" is automatic, "system" the system default, and any other
    // text (compared exactly, so "System" too) names a device.
    explicit MicrophonePreference(const std::optional<QString>& storedValue);

    Kind kind() const { return m_kind; }
    // The device's uid; empty for the two fixed choices.
    const QString& uid() const { return m_uid; }
    // What the setting keeps: the uid itself, "automatic" or "system".
    QString storedValue() const;

    friend bool operator==(const MicrophonePreference&, const MicrophonePreference&) = default;

private:
    MicrophonePreference(Kind kind, QString uid)
        : m_kind(kind)
        , m_uid(std::move(uid))
    {
    }

    Kind m_kind = Kind::automatic;
    QString m_uid;
};

std::size_t qHash(const MicrophonePreference& preference, std::size_t seed = 0) noexcept;

} // namespace sayloom
