#include "session/ports/Trigger.h"

#include <gtest/gtest.h>

namespace sayloom {
namespace {

// The raw values are what settings files of every earlier build hold; the names are what the windows show.
TEST(Trigger, RawValuesAndNamesAreFixed)
{
    const std::tuple<Trigger, const char16_t*, const char16_t*> triggers[] = {
            {Trigger::fn, u"fn", u"Fn"},
            {Trigger::rightOption, u"rightOption", u"Right Alt"},
            {Trigger::rightCommand, u"rightCommand", u"Right Super"},
            {Trigger::rightControl, u"rightControl", u"Right Ctrl"},
    };
    QList<Trigger> listed;
    for (const auto& [trigger, raw, name] : triggers) {
        EXPECT_EQ(rawValue(trigger), QString::fromUtf16(raw));
        EXPECT_EQ(displayName(trigger), QString::fromUtf16(name));
        EXPECT_EQ(triggerFromRawValue(QString::fromUtf16(raw)), trigger);
        listed.append(trigger);
    }
    EXPECT_EQ(allTriggers(), listed);
    for (const char16_t* other : {u"", u"Fn", u"rightoption", u"rightOption ", u"Right Alt"}) {
        EXPECT_EQ(triggerFromRawValue(QString::fromUtf16(other)), std::nullopt);
    }
}

} // namespace
} // namespace sayloom
