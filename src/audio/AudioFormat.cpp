#include "audio/AudioFormat.h"

namespace sayloom {

QString AudioFormat::description() const
{
    return QString::number(sampleRate) + u" Hz, " + QString::number(channelCount) + u" ch, " +
           (sampleType == SampleType::float32 ? u"float32" : u"int16") +
           (interleaved ? u", interleaved" : u", non-interleaved");
}

} // namespace sayloom
