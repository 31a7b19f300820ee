#include "SessionRig.h"

#include <thread>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;
using enum Kind;

// One row of the trigger table: the acts that bring the session into a state, the event, and the state afterwards.
struct Transition {
    const char* name;
    const char* arrange;
    const char* event;
    Kind phase;
    bool locked, running;
    OverlayMode overlay;
};

const char* const lockedTake = "P +100 R +100 P +100 R";
const char* const heldTake = "h P +1000 R";
const OverlayMode listening = OverlayMode::listening(false);
const OverlayMode processing = OverlayMode::processing();
const OverlayMode lockedListening = OverlayMode::listening(true);
const OverlayMode cancelled = OverlayMode::message(QStringLiteral("Cancelled"));
const OverlayMode noMicrophone = OverlayMode::message(QStringLiteral("Mic failed: No microphone found"));

const Transition transitions[] = {
        {"PressStartsATake", "", "P", recording, false, true, listening},
        {"PressWithoutMicrophoneFails", "m", "P", error, false, false,
         OverlayMode::message(QStringLiteral("Microphone access is off"))},
        {"PressWhenTheRecorderCannotStartFails", "x", "P", error, false, false, noMicrophone},
        {"ToggleStartsALockedTake", "", "T", recording, true, true, lockedListening},
        {"ReleaseAfterAHoldCommits", "P +600", "R", transcribing, false, true, processing},
        {"HoldOf249MillisecondsIsATap", "P +249", "R", idle, false, false, listening},
        {"HoldOf250MillisecondsCommits", "P +250", "R", transcribing, false, true, processing},
        {"SecondQuickTapLocks", "P +100 R +100 P +100", "R", recording, true, true, lockedListening},
        {"TapReleases399MillisecondsApartLock", "P +100 R +199 P +200", "R", recording, true, true, lockedListening},
        {"TapReleases400MillisecondsApartDoNot", "P +100 R +200 P +200", "R", idle, false, false, listening},
        {"ALateSecondTapStartsTheNextDoubleTap", "P +100 R +200 P +200 R +100 P +100", "R", recording, true, true,
         lockedListening},
        {"LoneTapCancelsSilently", "P +100", "R", idle, false, false, listening},
        {"PressFinishesALockedTake", lockedTake, "P", transcribing, false, true, processing},
        {"ReleaseOfALockedTakeIsIgnored", lockedTake, "r", recording, true, true, lockedListening},
        // The finishing press's release comes only after the take ended and counts as nothing: the next hold is a
        // take of its own.
        {"ReleaseOfTheFinishingPressIsSwallowed", "T P +1300 R P +1000", "R", transcribing, false, true, processing},
        {"ToggleCommitsAHeldTake", "P", "T", transcribing, false, true, processing},
        {"ToggleCommitsALockedTake", lockedTake, "T", transcribing, false, true, processing},
        {"TriggerChangedWhileHeldCommits", "P +1000", "K", transcribing, false, true, processing},
        {"TriggerChangedDuringATapCancels", "P +100", "K", idle, false, false, listening},
        {"EscapeCancelsRecording", "P", "E", idle, false, false, cancelled},
        {"EscapeCancelsALockedTake", "T", "E", idle, false, false, cancelled},
        {"EscapeCancelsProcessing", heldTake, "E", idle, false, false, cancelled},
        {"KeysAndToggleWhileProcessingAreIgnored", heldTake, "P +100 R T", transcribing, false, true, processing},
        {"EndOfTheTakeReturnsToIdle", heldTake, "+300 F +1000", idle, false, false, processing},
        {"ErrorStaysForFourSeconds", "x P R", "+3999", error, false, false, noMicrophone},
        {"ErrorReturnsToIdleAfterFourSeconds", "x P R", "+4000", idle, false, false, noMicrophone},
        {"EscapeWhileIdleDoesNothing", "", "E", idle, false, false, OverlayMode::hidden()},
};

class SessionTransitions : public ::testing::TestWithParam<Transition> {};

TEST_P(SessionTransitions, LeadToTheExpectedState)
{
    const Transition& row = GetParam();
    SessionRig rig;
    rig.buildAndStart();
    rig.act(row.arrange);
    rig.act(row.event);
    EXPECT_EQ(rig.phase(), row.phase);
    EXPECT_EQ(rig.state->isLocked(), row.locked);
    EXPECT_EQ(rig.state->isTakeRunning(), row.running);
    EXPECT_EQ(rig.desktop.overlay, row.overlay);
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

// Both cues at a quarter volume for a take, only the first for a lone tap, none when switched off.
TEST_F(SessionStateMachine, SoundsFollowTheTakesAndTheSetting)
{
    using Cue = Sounds::Cue;
    rig.act("P +100 R +1000");
    rig.dictate(QStringLiteral("one"));
    const std::vector<std::pair<Cue, float>> cues{{Cue::begin, 0.25f}, {Cue::begin, 0.25f}, {Cue::end, 0.25f}};
    EXPECT_EQ(rig.desktop.played, cues);
    rig.state->setSoundsEnabled(false);
    rig.dictate(QStringLiteral("two"));
    EXPECT_EQ(rig.desktop.played, cues);
    EXPECT_EQ(rig.desktop.inserted.size(), 2);
}

TEST_F(SessionStateMachine, LevelsFromTheCaptureThreadReachTheWindowOnlyWhileRecording)
{
    rig.press();
    for (int i = 1; i <= 60; ++i) {
        rig.recorder.levelFromCaptureThread(float(i) / 100);
    }
    pump();
    EXPECT_FLOAT_EQ(rig.state->inputLevel(), 0.6f);
    ASSERT_EQ(rig.state->levelHistory().size(), 48);
    EXPECT_FLOAT_EQ(rig.state->levelHistory().first(), 0.13f);

    // During the tail the recorder still delivers: the pill's waveform moves, the window's does not.
    rig.act("+1000 R");
    rig.recorder.levelFromCaptureThread(0.9f);
    pump();
    EXPECT_EQ(rig.desktop.levels.size(), 61u);
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

    rig.act("E R +1000 P");
    EXPECT_EQ(rig.state->liveTranscript(), QString());
    first->onPartial(QStringLiteral("late words of the first take"));
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QString());
    rig.engine.latest()->onPartial(QStringLiteral("second"));
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("second"));
}

} // namespace
} // namespace sayloom::testing
