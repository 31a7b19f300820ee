#include "desktop/wayland/WaylandAccessibilityTrust.h"

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

// Each grant is named while it is missing; the fix comes once, last, and asks for a new login only when joining the
// input group is part of it.
TEST(WaylandAccessibilityTrustTest, NamesWhatIsMissingAndTheOneFix)
{
    bool readable = false;
    bool canType = false;
    WaylandAccessibilityTrust trust([&] { return readable; }, [&] { return canType; }, u"sudo setup"_s);

    QList<AccessGap> gaps = trust.missing();
    ASSERT_EQ(gaps.size(), 2);
    EXPECT_FALSE(trust.isTrusted());
    EXPECT_EQ(gaps[0].title, u"Sayloom can't read the keyboard"_s);
    EXPECT_EQ(gaps[1].title, u"Sayloom can't type"_s);
    EXPECT_FALSE(gaps[0].reason.contains(u"sudo setup"_s));
    EXPECT_TRUE(gaps[1].reason.endsWith(u"run \u201csudo setup\u201d in a terminal once, then log out and in again."_s))
            << gaps[1].reason.toStdString();

    readable = true;
    gaps = trust.missing();
    ASSERT_EQ(gaps.size(), 1);
    EXPECT_TRUE(gaps[0].reason.endsWith(u"in a terminal once."_s)) << gaps[0].reason.toStdString();

    canType = true;
    EXPECT_TRUE(trust.isTrusted());
    EXPECT_TRUE(trust.missing().isEmpty());
}

} // namespace
} // namespace sayloom
