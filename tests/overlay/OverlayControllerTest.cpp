#include "overlay/OverlayController.h"

#include "support/FakeClock.h"
#include "overlay/OverlayView.h"

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace std::chrono_literals;
using Kind = OverlayMode::Kind;

class OverlayControllerTest : public ::testing::Test {
protected:
    testing::FakeClock clock;
    OverlayController overlay{clock};

    void expectShowing(const OverlayMode& mode)
    {
        EXPECT_TRUE(overlay.isPanelVisible());
        EXPECT_EQ(overlay.targetOpacity(), 1.0);
        EXPECT_EQ(overlay.model().mode(), mode);
    }
};

TEST_F(OverlayControllerTest, ALaterShowCancelsAPendingHideAndSurvivesAFade)
{
    const OverlayMode copied = OverlayMode::message(QStringLiteral("Copied to clipboard"));
    overlay.show(copied);
    overlay.hide(3s);
    clock.advance(1s);
    overlay.show(OverlayMode::listening(false));
    clock.advance(5s);
    expectShowing(OverlayMode::listening(false));

    // A show 0.1 s into the fade: the fade's end finds a newer generation and leaves the pill up.
    overlay.show(copied);
    overlay.hide(3s);
    clock.advance(3s);
    EXPECT_EQ(overlay.targetOpacity(), 0.0);
    clock.advance(100ms);
    overlay.show(OverlayMode::processing());
    clock.advance(1s);
    expectShowing(OverlayMode::processing());
}

TEST_F(OverlayControllerTest, HideAtOnceFadesNowAndEndsHidden)
{
    overlay.show(OverlayMode::processing());
    overlay.hide(0ms);
    EXPECT_EQ(overlay.targetOpacity(), 0.0);
    clock.advance(179ms);
    EXPECT_TRUE(overlay.isPanelVisible());
    EXPECT_EQ(overlay.model().mode(), OverlayMode::processing());
    clock.advance(1ms);
    EXPECT_FALSE(overlay.isPanelVisible());
    EXPECT_EQ(overlay.model().mode(), OverlayMode::hidden());

    // A second hide replaces the first; only one fade runs to its end.
    overlay.show(OverlayMode::processing());
    overlay.hide(2s);
    overlay.hide(1s);
    clock.advance(1180ms);
    EXPECT_FALSE(overlay.isPanelVisible());
}

TEST_F(OverlayControllerTest, ListeningFromHiddenStartsFlatButLockingKeepsTheWaveform)
{
    for (int i = 0; i < 5; ++i) {
        overlay.push(0.5f);
    }
    overlay.show(OverlayMode::listening(false));
    EXPECT_EQ(overlay.model().levels().back(), 0.0f);
    overlay.push(0.7f);
    overlay.show(OverlayMode::listening(true));
    EXPECT_EQ(overlay.model().levels().back(), 0.7f);
    overlay.show(OverlayMode::message(QStringLiteral("Didn't catch that")));
    overlay.show(OverlayMode::listening(false));
    EXPECT_EQ(overlay.model().levels().back(), 0.7f) << "only a show from hidden starts a new waveform";
}

TEST_F(OverlayControllerTest, WithoutACompositorThePillIsOpaqueAndCutToItsCapsule)
{
    overlay.setCompositing(false);
    overlay.show(OverlayMode::listening(false));
    EXPECT_TRUE(overlay.view().isOpaque());
    EXPECT_FALSE(overlay.view().mask().isEmpty());
    EXPECT_TRUE(overlay.view().mask().boundingRect().contains(overlay.view().capsuleRect().toRect()));
    EXPECT_LT(overlay.view().mask().boundingRect().width(), overlay.view().width());
    overlay.setCompositing(true);
    EXPECT_TRUE(overlay.view().mask().isEmpty());
}

} // namespace
} // namespace sayloom
