#include "desktop/wayland/EvdevKeyState.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <string>
#include <vector>

namespace sayloom::testing {
namespace {

// A step of a recording: an event of a device, or one of these instead of an event type.
constexpr int added = -1; // the device appears holding `code`
constexpr int gone = -2;  // the device is unplugged

struct Step {
    int device;
    int type;
    int code;
    int value = 0;
};

Step press(int code, int device = 1)
{
    return {device, EV_KEY, code, 1};
}
Step release(int code, int device = 1)
{
    return {device, EV_KEY, code, 0};
}
Step repeat(int code, int device = 1)
{
    return {device, EV_KEY, code, 2};
}
Step report(int device = 1)
{
    return {device, EV_SYN, SYN_REPORT};
}
Step dropped(int device = 1)
{
    return {device, EV_SYN, SYN_DROPPED};
}

struct Row {
    const char* name;
    std::vector<Step> steps;
    // What is reported: + down, - up, x cancel.
    const char* expected;
    bool modifierHeld = false;
    // What a re-read after lost events finds held; nothing: the re-read fails.
    std::optional<std::vector<int>> heldAfterLoss = std::vector<int>{};
    int trigger = KEY_RIGHTALT;
};

TEST(EvdevKeyStateTest, FollowsTheTriggerAcrossKeyboardsAndLostEvents)
{
    const Row rows[] = {
            {"press and release", {press(KEY_RIGHTALT), report(), release(KEY_RIGHTALT), report()}, "+-"},
            {"autorepeat reports nothing",
             {press(KEY_RIGHTALT), repeat(KEY_RIGHTALT), repeat(KEY_RIGHTALT)},
             "+",
             true},
            {"a letter while held cancels", {press(KEY_RIGHTALT), press(KEY_C), release(KEY_C)}, "+x", true},
            {"a letter alone does nothing", {press(KEY_C), repeat(KEY_C), release(KEY_C)}, ""},
            {"shortcut modifiers do not cancel",
             {press(KEY_RIGHTALT), press(KEY_LEFTSHIFT), press(KEY_LEFTCTRL), press(KEY_LEFTMETA),
              release(KEY_RIGHTALT)},
             "+-",
             true},
            {"the other Alt is not the trigger", {press(KEY_LEFTALT), release(KEY_LEFTALT)}, ""},
            {"Escape with the trigger up", {press(KEY_ESC), repeat(KEY_ESC), release(KEY_ESC)}, "x"},
            {"Escape with the trigger down", {press(KEY_RIGHTALT), press(KEY_ESC), release(KEY_RIGHTALT)}, "+x-"},
            {"a click is not typing", {press(KEY_RIGHTALT), press(BTN_LEFT), release(BTN_LEFT)}, "+", true},
            {"down while down on any keyboard",
             {press(KEY_RIGHTALT, 1), press(KEY_RIGHTALT, 2), release(KEY_RIGHTALT, 1), release(KEY_RIGHTALT, 2)},
             "+-"},
            {"a cancel from the other keyboard", {press(KEY_RIGHTALT, 1), press(KEY_A, 2)}, "+x", true},
            {"unplugged while held", {press(KEY_RIGHTALT, 1), press(KEY_LEFTCTRL, 2), {1, gone, 0}}, "+-", true},
            {"another keyboard unplugged", {press(KEY_RIGHTALT, 1), press(KEY_A, 2), {2, gone, 0}}, "+x", true},
            {"held before it was opened", {{1, added, KEY_RIGHTALT}, release(KEY_RIGHTALT), press(KEY_A)}, ""},
            {"held before it was opened counts as a modifier", {{1, added, KEY_RIGHTCTRL}}, "", true},
            {"release lost",
             {press(KEY_RIGHTALT), dropped(), release(KEY_RIGHTALT), press(KEY_RIGHTALT), report()},
             "+-"},
            {"press lost", {dropped(), press(KEY_RIGHTALT), report()}, "+", true, std::vector<int>{KEY_RIGHTALT}},
            {"held on across the loss",
             {press(KEY_RIGHTALT), dropped(), report()},
             "+",
             true,
             std::vector<int>{KEY_RIGHTALT}},
            {"re-read fails", {press(KEY_RIGHTALT), dropped(), report()}, "+-", false, std::nullopt},
            {"loss on one keyboard, trigger on another", {press(KEY_RIGHTALT, 2), dropped(1), report(1)}, "+", true},
            {"Fn", {press(KEY_FN), press(KEY_LEFTCTRL), press(KEY_X), release(KEY_FN)}, "+x-", true, {}, KEY_FN},
            {"Right Ctrl",
             {press(KEY_RIGHTALT), release(KEY_RIGHTALT), press(KEY_RIGHTCTRL)},
             "+",
             true,
             {},
             KEY_RIGHTCTRL},
    };
    for (const Row& row : rows) {
        std::vector<int> reads;
        EvdevKeyState state([&](int device) -> std::optional<EvdevKeyState::Keys> {
            reads.push_back(device);
            if (!row.heldAfterLoss) {
                return std::nullopt;
            }
            EvdevKeyState::Keys held;
            for (const int code : *row.heldAfterLoss) {
                held.set(std::size_t(code));
            }
            return held;
        });
        std::string reported;
        state.setTriggerKey(row.trigger);
        state.setOnChange([&](bool down) { reported += down ? '+' : '-'; });
        state.setOnCancel([&] { reported += 'x'; });
        int losses = 0;
        for (const Step& step : row.steps) {
            if (step.type == added) {
                state.deviceAdded(step.device, EvdevKeyState::Keys().set(std::size_t(step.code)));
            } else if (step.type == gone) {
                state.deviceGone(step.device);
            } else {
                losses += step.type == EV_SYN && step.code == SYN_DROPPED;
                input_event event{};
                event.type = std::uint16_t(step.type);
                event.code = std::uint16_t(step.code);
                event.value = step.value;
                state.feed(step.device, event);
            }
        }
        EXPECT_EQ(reported, row.expected) << row.name;
        EXPECT_EQ(state.isDown(), std::ranges::count(reported, '+') > std::ranges::count(reported, '-')) << row.name;
        EXPECT_EQ(state.modifierHeld(), row.modifierHeld) << row.name;
        EXPECT_EQ(int(reads.size()), losses) << row.name << ": one re-read per loss, once its report came";
        state.clear();
        EXPECT_FALSE(state.isDown() || state.modifierHeld()) << row.name;
        EXPECT_EQ(std::ranges::count(reported, '+'), std::ranges::count(reported, '-'))
                << row.name << ": clearing releases a held trigger";
    }
}

} // namespace
} // namespace sayloom::testing
