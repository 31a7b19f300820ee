#pragma once

#include <QString>

#include <cstdint>

namespace sayloom {

// Four characters packed into 32 bits, the first in the most significant byte: fourCharCode("bltn") == 0x62'6C'74'6E.
constexpr std::uint32_t fourCharCode(const char (&code)[5])
{
    return std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
           std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint32_t(std::uint8_t(code[3]));
}

// How an input device is attached. Only built-in and the two Bluetooth kinds take part in choosing a microphone;
// other codes are informative.
namespace Transport {
inline constexpr std::uint32_t none = 0;
inline constexpr std::uint32_t builtIn = fourCharCode("bltn");
inline constexpr std::uint32_t bluetooth = fourCharCode("blue");
inline constexpr std::uint32_t bluetoothLE = fourCharCode("blea");
inline constexpr std::uint32_t usb = fourCharCode("usb ");

constexpr bool isBluetooth(std::uint32_t transport)
{
    return transport == bluetooth || transport == bluetoothLE;
}
// "bltn", or the number in hexadecimal when the code is not four printable characters; for logs and test output.
QString text(std::uint32_t transport);
} // namespace Transport

// A microphone as the sound server lists it. `uid` is what a stored preference names it by; `id` is only
// meaningful while the server runs.
struct AudioInputDevice {
    std::uint32_t id = 0;
    QString uid;
    QString name;
    std::uint32_t transport = Transport::none;

    friend bool operator==(const AudioInputDevice&, const AudioInputDevice&) = default;
};

} // namespace sayloom
