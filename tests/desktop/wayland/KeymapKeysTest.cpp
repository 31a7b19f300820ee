#include "desktop/wayland/KeymapKeys.h"

#include <gtest/gtest.h>
#include <linux/input.h>
#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace sayloom::testing {
namespace {

// The keymap as a compositor sends it: the text of a keymap, ending in its zero.
QByteArray keymapText(const char* layout, const char* variant)
{
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                             &xkb_context_unref);
    const xkb_rule_names names{nullptr, nullptr, layout, variant, nullptr};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
            xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), &xkb_keymap_unref);
    const std::unique_ptr<char, decltype(&free)> text(xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1),
                                                      &free);
    return QByteArray(text.get(), qsizetype(strlen(text.get()) + 1));
}

TEST(KeymapKeysTest, FindsTheKeyThatTypesVOnEachLayout)
{
    const struct {
        const char* layout;
        const char* variant;
        std::optional<int> key;
    } rows[] = {
            {"us", "", KEY_V},
            {"us", "dvorak", KEY_DOT},
            {"de", "", KEY_V},
            {"fr", "", KEY_V},
            // Only the first layout counts: a Russian keyboard types no "v" without switching.
            {"ru,us", "", std::nullopt},
            {"us,ru", "", KEY_V},
    };
    for (const auto& row : rows) {
        const KeymapKeys::Names names{row.layout, row.variant};
        EXPECT_EQ(KeymapKeys::keyTyping(KeymapKeys::keysymV, names), row.key)
                << row.layout << "(" << row.variant << ")";
        EXPECT_EQ(KeymapKeys::keyTyping(KeymapKeys::keysymV, keymapText(row.layout, row.variant)), row.key)
                << row.layout << "(" << row.variant << ") as text";
    }
    // Only the first level: "V" is the shifted level of the V key.
    EXPECT_EQ(KeymapKeys::keyTyping(XKB_KEY_V, KeymapKeys::Names{"us", ""}), std::nullopt);
    EXPECT_EQ(KeymapKeys::keyTyping(KeymapKeys::keysymV, QByteArray("xkb_keymap { nonsense")), std::nullopt);
    EXPECT_EQ(KeymapKeys::keyTyping(KeymapKeys::keysymV, QByteArray()), std::nullopt);

    // The override a user writes in the settings file.
    for (const char* name : {"KEY_DOT", "dot", " key_dot ", "52"}) {
        EXPECT_EQ(KeymapKeys::keyNamed(QString::fromLatin1(name)), KEY_DOT) << name;
    }
    for (const char* name : {"", "KEY_NOPE", "0", "-3", "70000"}) {
        EXPECT_EQ(KeymapKeys::keyNamed(QString::fromLatin1(name)), std::nullopt) << name;
    }
}

} // namespace
} // namespace sayloom::testing
