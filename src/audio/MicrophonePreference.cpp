#include "audio/MicrophonePreference.h"

#include <QHashFunctions>

namespace sayloom {

namespace {

const QString automaticValue = QStringLiteral("automatic");
const QString systemValue = QStringLiteral("system");

} // namespace

MicrophonePreference::MicrophonePreference(const std::optional<QString>& storedValue)
{
    if (!storedValue || *storedValue == automaticValue) {
        m_kind = Kind::automatic;
    } else if (*storedValue == systemValue) {
        m_kind = Kind::systemDefault;
    } else {
        m_kind = Kind::device;
        m_uid = *storedValue;
    }
}

QString MicrophonePreference::storedValue() const
{
    switch (m_kind) {
    case Kind::device:
        return m_uid;
    case Kind::automatic:
        return automaticValue;
    case Kind::systemDefault:
        return systemValue;
    }
    return automaticValue;
}

std::size_t qHash(const MicrophonePreference& preference, std::size_t seed) noexcept
{
    return qHashMulti(seed, int(preference.kind()), preference.uid());
}

} // namespace sayloom
