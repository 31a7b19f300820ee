#pragma once

#include <QString>

namespace sayloom {

// Why a take could not start, with the text the user sees.
class AudioRecorderError {
public:
    enum class Kind {
        // The device is there but the sound server would not record from it.
        cannotUse,
        // No device given or found, and no default input either.
        noMicrophone,
        // The sound server itself failed (unreachable, no answer in time, refused the request); the detail is
        // its own message.
        soundServer,
    };

    static AudioRecorderError cannotUse(QString deviceName) { return {Kind::cannotUse, std::move(deviceName)}; }
    static AudioRecorderError noMicrophone() { return {Kind::noMicrophone, {}}; }
    static AudioRecorderError soundServer(QString message) { return {Kind::soundServer, std::move(message)}; }

    Kind kind() const { return m_kind; }
    // The device name or the server's message.
    const QString& detail() const { return m_detail; }
    // "Can't record from " + the device name, "No microphone found", or the server's own message.
    QString description() const;

    friend bool operator==(const AudioRecorderError&, const AudioRecorderError&) = default;

private:
    AudioRecorderError(Kind kind, QString detail)
        : m_kind(kind)
        , m_detail(std::move(detail))
    {
    }

    Kind m_kind;
    QString m_detail;
};

} // namespace sayloom
