#include "desktop/wayland/KeymapKeys.h"

#include <algorithm>
#include <libevdev/libevdev.h>
#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace sayloom {

namespace {

using Context = std::unique_ptr<xkb_context, decltype(&xkb_context_unref)>;
using Keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;

// XKB numbers keys 8 above the kernel.
constexpr xkb_keycode_t evdevOffset = 8;

Context newContext()
{
    return Context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
}

std::optional<int> keyIn(xkb_keymap* keymap, std::uint32_t keysym)
{
    if (!keymap) {
        return std::nullopt;
    }
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = std::max(xkb_keymap_min_keycode(keymap), evdevOffset + 1); key <= last; ++key) {
        if (xkb_keymap_num_layouts_for_key(keymap, key) == 0) {
            continue;
        }
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &symbols);
        for (int i = 0; i < count; ++i) {
            if (symbols[i] == keysym) {
                return int(key - evdevOffset);
            }
        }
    }
    return std::nullopt;
}

const char* orNull(const QByteArray& name)
{
    return name.isEmpty() ? nullptr : name.constData();
}

} // namespace

std::optional<int> KeymapKeys::keyTyping(std::uint32_t keysym, const QByteArray& keymapText)
{
    const Context context = newContext();
    if (!context || keymapText.isEmpty()) {
        return std::nullopt;
    }
    // The compositor's text may end in its terminating zero.
    const QByteArray text = keymapText.endsWith('\0') ? keymapText.chopped(1) : keymapText;
    const Keymap keymap(xkb_keymap_new_from_buffer(context.get(), text.constData(), std::size_t(text.size()),
                                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS),
                        &xkb_keymap_unref);
    return keyIn(keymap.get(), keysym);
}

std::optional<int> KeymapKeys::keyTyping(std::uint32_t keysym, const Names& names)
{
    const Context context = newContext();
    if (!context) {
        return std::nullopt;
    }
    const xkb_rule_names rmlvo{orNull(names.rules), orNull(names.model), orNull(names.layout), orNull(names.variant),
                               orNull(names.options)};
    const Keymap keymap(xkb_keymap_new_from_names(context.get(), &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS),
                        &xkb_keymap_unref);
    return keyIn(keymap.get(), keysym);
}

std::optional<int> KeymapKeys::keyNamed(const QString& name)
{
    bool isNumber = false;
    const int number = name.toInt(&isNumber);
    if (isNumber) {
        return number > 0 && number < KEY_CNT ? std::optional(number) : std::nullopt;
    }
    QByteArray full = name.trimmed().toUpper().toLatin1();
    if (!full.startsWith("KEY_")) {
        full.prepend("KEY_");
    }
    const int code = libevdev_event_code_from_name(EV_KEY, full.constData());
    return code > 0 ? std::optional(code) : std::nullopt;
}

} // namespace sayloom
