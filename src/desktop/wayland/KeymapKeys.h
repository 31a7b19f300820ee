#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace sayloom {

// Which physical key types a symbol on the user's layout, so that a virtual keyboard presses the key that means "v"
// to the applications: on Dvorak that is the key US keyboards print "." on.
class KeymapKeys final {
public:
    KeymapKeys() = delete;

    // The X keysym of a lowercase "v".
    static constexpr std::uint32_t keysymV = 0x0076;

    // The names a keymap is built from (XKB rules, model, layout, variant, options); empty ones take the defaults.
    struct Names {
        QByteArray layout;
        QByteArray variant;
        QByteArray options = {};
        QByteArray model = {};
        QByteArray rules = {};
    };

    // The Linux key code of the key whose first level in the first layout types `keysym`, in a keymap as text (the
    // form a Wayland compositor sends); nothing when no key does or the text is not a keymap.
    static std::optional<int> keyTyping(std::uint32_t keysym, const QByteArray& keymapText);
    // The Linux key code a user names in a setting: "KEY_DOT", "dot" or "52"; nothing for no key.
    static std::optional<int> keyNamed(const QString& name);
    // The same in the keymap these names make.
    static std::optional<int> keyTyping(std::uint32_t keysym, const Names& names);
};

} // namespace sayloom
