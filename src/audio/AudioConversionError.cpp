#include "audio/AudioConversionError.h"

namespace sayloom {

QString AudioConversionError::description() const
{
    switch (m_kind) {
    case Kind::conversionFailed:
        return u"Audio conversion failed: " + m_underlying.value_or(QStringLiteral("unknown"));
    case Kind::unsupportedFormat:
        return QStringLiteral("Can't convert microphone audio to the recognizer's format");
    }
    return {};
}

} // namespace sayloom
