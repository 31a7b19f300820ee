#include "SessionRig.h"

#include <QSignalSpy>

#include <gtest/gtest.h>
#include <thread>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;

// One row of the trigger table: the acts that bring the session into a state, the event, and the state afterwards.
struct Transition {
    const char* name;
    const char* arrange;
    const char* event;
    Kind phase;
    bool locked;
    bool running;
    OverlayMode overlay;
};

const char* const locked = "P +100 R +100 P +100 R";
const char* const processing = "h P +1000 R";
const OverlayMode cancelled = OverlayMode::message(QStringLiteral("Cancelled"));
const OverlayMode noMicrophone = OverlayMode::message(QStringLiteral("Mic failed: No microphone found"));

const Transition transitions[] = {
        {"PressStartsATake", "", "P", Kind::recording, false, true, OverlayMode::listening(false)},
        {"PressWithoutMicrophoneFails", "m", "P", Kind::error, false, false,
         OverlayMode::message(QStringLiteral("Microphone access is off"))},
        {"PressWhenTheRecorderCannotStartFails", "x", "P", Kind::error, false, false, noMicrophone},
        {"ToggleStartsALockedTake", "", "T", Kind::recording, true, true, OverlayMode::listening(true)},
        {"ReleaseAfterAHoldCommits", "P +600", "R", Kind::transcribing, false, true, OverlayMode::processing()},
        {"SecondQuickTapLocks", "P +100 R +100 P +100", "R", Kind::recording, true, true, OverlayMode::listening(true)},
        {"LoneTapCancelsSilently", "P +100", "R", Kind::idle, false, false, OverlayMode::listening(false)},
        {"PressFinishesALockedTake", locked, "P", Kind::transcribing, false, true, OverlayMode::processing()},
        {"ReleaseOfALockedTakeIsIgnored", locked, "r", Kind::recording, true, true, OverlayMode::listening(true)},
        {"ToggleCommitsAHeldTake", "P", "T", Kind::transcribing, false, true, OverlayMode::processing()},
        {"ToggleCommitsALockedTake", locked, "T", Kind::transcribing, false, true, OverlayMode::processing()},
        {"EscapeCancelsRecording", "P", "E", Kind::idle, false, false, cancelled},
        {"EscapeCancelsALockedTake", "T", "E", Kind::idle, false, false, cancelled},
        {"EscapeCancelsProcessing", processing, "E", Kind::idle, false, false, cancelled},
        {"PressReleaseAndToggleWhileProcessingAreIgnored", processing, "P +100 R T", Kind::transcribing, false, true,
         OverlayMode::processing()},
        {"EndOfTheTakeReturnsToIdle", processing, "+300 F +1000", Kind::idle, false, false, OverlayMode::processing()},
        {"ErrorStaysForFourSeconds", "x P R", "+3999", Kind::error, false, false, noMicrophone},
        {"ErrorReturnsToIdleAfterFourSeconds", "x P R", "+4000", Kind::idle, false, false, noMicrophone},
        {"EscapeWhileIdleDoesNothing", "", "E", Kind::idle, false, false, OverlayMode::hidden()},
};

class SessionTransitions : public ::testing::TestWithParam<Transition> {
protected:
    SessionRig rig;
};

TEST_P(SessionTransitions, LeadToTheExpectedState)
{
    const Transition& row = GetParam();
    rig.buildAndStart();
    rig.act(row.arrange);
    rig.act(row.event);
    EXPECT_EQ(rig.phase(), row.phase);
    EXPECT_EQ(rig.state->isLocked(), row.locked);
    EXPECT_EQ(rig.state->isTakeRunning(), row.running);
    EXPECT_EQ(rig.overlay.lastShown(), row.overlay);
    if (row.phase != Kind::transcribing) { // during the tail it still records
        EXPECT_EQ(rig.recorder.isRecording(), row.phase == Kind::recording);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SessionTransitions, ::testing::ValuesIn(transitions),
                         [](const ::testing::TestParamInfo<Transition>& row) { return std::string(row.param.name); });

class SessionStateMachine : public ::testing::Test {
protected:
    void SetUp() override { rig.buildAndStart(); }
    SessionRig rig;
};

TEST_F(SessionStateMachine, TapAndHoldMeetAtTwoHundredFiftyMilliseconds)
{
    rig.act("P +249 R");
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_EQ(rig.overlay.hides.back(), 0ms);
    rig.act("+1000 P +250 R");
    EXPECT_EQ(rig.phase(), Kind::transcribing);
}

TEST_F(SessionStateMachine, DoubleTapLocksOnlyWhenTheReleasesAreLessThanFourHundredMillisecondsApart)
{
    rig.act("P +100 R +199 P +200 R"); // releases 399 ms apart
    EXPECT_TRUE(rig.state->isLocked());
    rig.act("E +1000 P +100 R +200 P +200 R"); // 400 ms apart
    EXPECT_FALSE(rig.state->isLocked());
    EXPECT_EQ(rig.phase(), Kind::idle);
    // The second tap's release replaced the remembered one, so a third quick tap locks.
    rig.act("+100 P +100 R");
    EXPECT_TRUE(rig.state->isLocked());
}

TEST_F(SessionStateMachine, TheReleaseOfTheFinishingPressIsSwallowedEvenAfterDelivery)
{
    rig.engine.script(QStringLiteral("hands free"));
    rig.act("T P +300 +1000");
    EXPECT_EQ(rig.inserter.inserted, QStringList{QStringLiteral("Hands free")});
    EXPECT_EQ(rig.phase(), Kind::idle);
    // The key comes up only now and counts as nothing; the next press and hold is a take of its own.
    rig.act("R P +1000 R");
    EXPECT_EQ(rig.phase(), Kind::transcribing);
}

TEST_F(SessionStateMachine, ALoneTapLeavesNoTraceButTheStartSound)
{
    rig.act("P +100 R +30000");
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_TRUE(rig.state->history().isEmpty());
    EXPECT_EQ(rig.overlay.lastMessage(), QString());
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::begin), 1);
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 0);
    EXPECT_EQ(rig.recorder.stops, 1);
}

TEST_F(SessionStateMachine, SoundsFollowTheSettingAtAQuarterVolume)
{
    rig.dictate(QStringLiteral("one"));
    const std::vector<std::pair<Sounds::Cue, float>> both{{Sounds::Cue::begin, 0.25f}, {Sounds::Cue::end, 0.25f}};
    EXPECT_EQ(rig.sounds.played, both);
    rig.state->setSoundsEnabled(false);
    rig.dictate(QStringLiteral("two"));
    EXPECT_EQ(rig.sounds.played, both);
    EXPECT_EQ(rig.inserter.inserted.size(), 2);
}

TEST_F(SessionStateMachine, LevelsFromTheCaptureThreadReachTheWindowOnlyWhileRecording)
{
    QSignalSpy levelChanges(rig.state.get(), &AppState::levelHistoryChanged);
    rig.press();
    for (int i = 1; i <= 60; ++i) {
        rig.recorder.levelFromCaptureThread(float(i) / 100);
    }
    pump();
    EXPECT_FLOAT_EQ(rig.state->inputLevel(), 0.6f);
    ASSERT_EQ(rig.state->levelHistory().size(), 48);
    EXPECT_FLOAT_EQ(rig.state->levelHistory().first(), 0.13f);
    EXPECT_EQ(levelChanges.count(), 60);

    rig.act("+1000 R");
    EXPECT_EQ(rig.state->levelHistory(), QList<float>(48, 0.0f));
    EXPECT_EQ(rig.state->inputLevel(), 0.0f);
    // During the tail the recorder still delivers: the pill's waveform moves, the window's does not.
    rig.recorder.levelFromCaptureThread(0.9f);
    pump();
    EXPECT_EQ(rig.overlay.levels.size(), 61u);
    EXPECT_EQ(rig.overlay.levels.back(), 0.9f);
    EXPECT_EQ(rig.state->inputLevel(), 0.0f);
    EXPECT_EQ(rig.state->levelHistory(), QList<float>(48, 0.0f));
}

TEST_F(SessionStateMachine, PartialsFromAnyThreadReachOnlyTheirOwnTake)
{
    rig.act("h P");
    FakeEngine::Call* first = rig.engine.latest();
    std::thread([first] { first->onPartial(QStringLiteral("first")); }).join();
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("first"));
    rig.act("E R");
    first->onPartial(QStringLiteral("first take"));
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("first"));

    rig.act("+1000 P");
    EXPECT_EQ(rig.state->liveTranscript(), QString());
    first->onPartial(QStringLiteral("late words of the first take"));
    rig.engine.latest()->onPartial(QStringLiteral("second"));
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("second"));
}

TEST_F(SessionStateMachine, ChangingTheTriggerWhileHeldReleasesTheTake)
{
    rig.act("P +1000");
    rig.state->setTrigger(HotkeyMonitor::Trigger::rightControl);
    pump();
    EXPECT_EQ(rig.phase(), Kind::transcribing);
    EXPECT_FALSE(rig.hotkeys.isDown());
    EXPECT_EQ(rig.hotkeys.trigger(), HotkeyMonitor::Trigger::rightControl);
    // Held for less than a tap: cancelled as a tap would be.
    rig.act("+30000 P +100");
    rig.state->setTrigger(HotkeyMonitor::Trigger::fn);
    pump();
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_FALSE(rig.state->isTakeRunning());
}

TEST_F(SessionStateMachine, ObservablePropertiesNotifyOnlyRealChanges)
{
    QSignalSpy phases(rig.state.get(), &AppState::phaseChanged);
    QSignalSpy locks(rig.state.get(), &AppState::isLockedChanged);
    QSignalSpy sounds(rig.state.get(), &AppState::soundsEnabledChanged);
    rig.state->setSoundsEnabled(true);
    rig.act("P +100 R E");
    EXPECT_EQ(phases.count(), 2); // recording, idle
    EXPECT_EQ(locks.count(), 0);
    EXPECT_EQ(sounds.count(), 0);
    // Two failures with different messages are two changes.
    rig.act("x P R");
    rig.recorder.failure = AudioRecorderError::cannotUse(QStringLiteral("USB Mic"));
    rig.press();
    EXPECT_EQ(phases.count(), 4);
    EXPECT_EQ(rig.state->phase(), AppState::Phase::error(QStringLiteral("Mic failed: Can't record from USB Mic")));
}

} // namespace
} // namespace sayloom::testing
