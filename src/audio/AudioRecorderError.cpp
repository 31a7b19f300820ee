#include "audio/AudioRecorderError.h"

namespace sayloom {

QString AudioRecorderError::description() const
{
    switch (m_kind) {
    case Kind::cannotUse:
        return u"Can't record from " + m_detail;
    case Kind::noMicrophone:
        return QStringLiteral("No microphone found");
    case Kind::soundServer:
        return m_detail;
    }
    return m_detail;
}

} // namespace sayloom
