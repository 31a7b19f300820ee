#include "audio/AudioInputDevice.h"

namespace sayloom {

QString Transport::text(std::uint32_t transport)
{
    QString characters;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char character = char((transport >> shift) & 0xFF);
        if (character < 0x20 || character > 0x7E) {
            return u"0x" + QString::number(transport, 16);
        }
        characters += QLatin1Char(character);
    }
    return characters;
}

} // namespace sayloom
