#include "SessionRig.h"

#include <QSignalSpy>

#include <functional>
#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;

// One row of the trigger table: how the session is brought into a state, the event, and the state afterwards.
struct Transition {
    const char* name;
    std::function<void(SessionRig&)> arrange;
    std::function<void(SessionRig&)> event;
    Kind phase;
    bool locked;
    bool running;
    OverlayMode overlay;
};

void recordingHeld(SessionRig& rig)
{
    rig.press();
}

void recordingLocked(SessionRig& rig)
{
    rig.tap();
    rig.advance(100ms);
    rig.press();
    rig.advance(100ms);
    rig.release();
}

void processing(SessionRig& rig)
{
    rig.engine.script(QStringLiteral("hello"), true);
    rig.hold(1s);
}

void nothing(SessionRig&) {}

const Transition transitions[] = {
        {"PressStartsATake", nothing, &SessionRig::press, Kind::recording, false, true, OverlayMode::listening(false)},
        {"PressWithoutMicrophoneFails",
         [](SessionRig& rig) {
             rig.permissions.microphone = false;
             rig.buildAndStart();
         },
         &SessionRig::press, Kind::error, false, false,
         OverlayMode::message(QStringLiteral("Microphone access is off"))},
        {"PressWhenTheRecorderCannotStartFails",
         [](SessionRig& rig) { rig.recorder.failure = AudioRecorderError::noMicrophone(); }, &SessionRig::press,
         Kind::error, false, false, OverlayMode::message(QStringLiteral("Mic failed: No microphone found"))},
        {"ToggleStartsALockedTake", nothing, &SessionRig::toggle, Kind::recording, true, true,
         OverlayMode::listening(true)},
        {"ReleaseAfterAHoldCommits", recordingHeld,
         [](SessionRig& rig) {
             rig.advance(600ms);
             rig.release();
         },
         Kind::transcribing, false, true, OverlayMode::processing()},
        {"SecondQuickTapLocks",
         [](SessionRig& rig) {
             rig.tap();
             rig.advance(100ms);
             rig.press();
         },
         [](SessionRig& rig) {
             rig.advance(100ms);
             rig.release();
         },
         Kind::recording, true, true, OverlayMode::listening(true)},
        {"LoneTapCancelsSilently", recordingHeld,
         [](SessionRig& rig) {
             rig.advance(100ms);
             rig.release();
         },
         Kind::idle, false, false, OverlayMode::listening(false)},
        {"PressFinishesALockedTake", recordingLocked, &SessionRig::press, Kind::transcribing, false, true,
         OverlayMode::processing()},
        {"ReleaseOfALockedTakeIsIgnored", recordingLocked, [](SessionRig& rig) { rig.hotkeys.reportRelease(); },
         Kind::recording, true, true, OverlayMode::listening(true)},
        {"ToggleCommitsAHeldTake", recordingHeld, &SessionRig::toggle, Kind::transcribing, false, true,
         OverlayMode::processing()},
        {"ToggleCommitsALockedTake", recordingLocked, &SessionRig::toggle, Kind::transcribing, false, true,
         OverlayMode::processing()},
        {"EscapeCancelsRecording", recordingHeld, &SessionRig::escape, Kind::idle, false, false,
         OverlayMode::message(QStringLiteral("Cancelled"))},
        {"EscapeCancelsALockedTake", recordingLocked, &SessionRig::escape, Kind::idle, false, false,
         OverlayMode::message(QStringLiteral("Cancelled"))},
        {"EscapeCancelsProcessing", processing, &SessionRig::escape, Kind::idle, false, false,
         OverlayMode::message(QStringLiteral("Cancelled"))},
        {"PressReleaseAndToggleWhileProcessingAreIgnored", processing,
         [](SessionRig& rig) {
             rig.press();
             rig.advance(100ms);
             rig.release();
             rig.toggle();
         },
         Kind::transcribing, false, true, OverlayMode::processing()},
        {"EndOfTheTakeReturnsToIdle", processing,
         [](SessionRig& rig) {
             rig.advance(AppState::tailDuration);
             rig.engine.finish();
             rig.advance(1s);
         },
         Kind::idle, false, false, OverlayMode::processing()},
        {"ErrorReturnsToIdleAfterFourSeconds",
         [](SessionRig& rig) {
             rig.recorder.failure = AudioRecorderError::noMicrophone();
             rig.press();
             rig.release();
         },
         [](SessionRig& rig) {
             rig.advance(3999ms);
             EXPECT_EQ(rig.phase(), Kind::error);
             rig.advance(1ms);
         },
         Kind::idle, false, false, OverlayMode::message(QStringLiteral("Mic failed: No microphone found"))},
        {"EscapeWhileIdleDoesNothing", nothing, &SessionRig::escape, Kind::idle, false, false, OverlayMode::hidden()},
};

class SessionTransitions : public ::testing::TestWithParam<Transition> {
protected:
    SessionRig rig;
};

TEST_P(SessionTransitions, LeadsToTheExpectedState)
{
    const Transition& row = GetParam();
    rig.buildAndStart();
    row.arrange(rig);
    row.event(rig);
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
    rig.hold(249ms);
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_FALSE(rig.state->isTakeRunning());
    EXPECT_EQ(rig.overlay.hides.back(), 0ms);

    rig.advance(1s);
    rig.hold(250ms);
    EXPECT_EQ(rig.phase(), Kind::transcribing);
}

TEST_F(SessionStateMachine, DoubleTapLocksOnlyWhenTheReleasesAreLessThanFourHundredMillisecondsApart)
{
    // Releases 399 ms apart: locked.
    rig.tap(100ms);
    rig.advance(199ms);
    rig.tap(200ms);
    EXPECT_TRUE(rig.state->isLocked());
    rig.escape();

    // Releases 400 ms apart: the second tap is cancelled like the first and its release remembered instead…
    rig.advance(1s);
    rig.tap(100ms);
    rig.advance(200ms);
    rig.tap(200ms);
    EXPECT_FALSE(rig.state->isLocked());
    EXPECT_EQ(rig.phase(), Kind::idle);
    // …so a third quick tap locks.
    rig.advance(100ms);
    rig.tap(100ms);
    EXPECT_TRUE(rig.state->isLocked());
    EXPECT_EQ(rig.phase(), Kind::recording);
}

TEST_F(SessionStateMachine, TheReleaseOfTheFinishingPressIsSwallowedEvenAfterDelivery)
{
    rig.engine.script(QStringLiteral("hands free"));
    rig.toggle();
    rig.press();
    rig.advance(AppState::tailDuration);
    rig.advance(1s);
    EXPECT_EQ(rig.inserter.inserted, QStringList{QStringLiteral("Hands free")});
    EXPECT_EQ(rig.phase(), Kind::idle);

    // The key comes up only now; it must not count as the release of anything.
    rig.release();
    rig.press();
    rig.advance(1s);
    rig.release();
    EXPECT_EQ(rig.phase(), Kind::transcribing);
}

TEST_F(SessionStateMachine, LoneTapLeavesNoTraceButTheStartSound)
{
    rig.tap();
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_TRUE(rig.state->history().isEmpty());
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::begin), 1);
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 0);
    for (const OverlayMode& mode : rig.overlay.shown) {
        EXPECT_NE(mode.kind(), OverlayMode::Kind::message);
    }
    EXPECT_EQ(rig.recorder.stops, 1);
    rig.advance(30s);
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_TRUE(rig.overlay.shown.back() == OverlayMode::listening(false));
}

TEST_F(SessionStateMachine, SoundsFollowTheSettingAtAQuarterVolume)
{
    rig.dictate(QStringLiteral("one"));
    ASSERT_EQ(rig.sounds.played.size(), 2u);
    EXPECT_EQ(rig.sounds.played[0], std::make_pair(Sounds::Cue::begin, 0.25f));
    EXPECT_EQ(rig.sounds.played[1], std::make_pair(Sounds::Cue::end, 0.25f));

    rig.state->setSoundsEnabled(false);
    rig.dictate(QStringLiteral("two"));
    EXPECT_EQ(rig.sounds.played.size(), 2u);
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
    EXPECT_FLOAT_EQ(rig.state->levelHistory().last(), 0.6f);
    EXPECT_EQ(levelChanges.count(), 60);

    rig.advance(1s);
    rig.release();
    EXPECT_EQ(rig.state->levelHistory(), QList<float>(48, 0.0f));
    EXPECT_EQ(rig.state->inputLevel(), 0.0f);

    // During the tail the recorder still delivers; the pill's waveform moves, the window's does not.
    rig.recorder.levelFromCaptureThread(0.9f);
    pump();
    EXPECT_EQ(rig.overlay.levels.size(), 61u);
    EXPECT_EQ(rig.overlay.levels.back(), 0.9f);
    EXPECT_EQ(rig.state->inputLevel(), 0.0f);
    EXPECT_EQ(rig.state->levelHistory(), QList<float>(48, 0.0f));
}

TEST_F(SessionStateMachine, PartialsFromAnyThreadReachOnlyTheirOwnTake)
{
    rig.engine.script(QStringLiteral("first take"), true);
    rig.press();
    FakeEngine::Call* first = rig.engine.latest();
    std::thread([first] { first->onPartial(QStringLiteral("first")); }).join();
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("first"));

    rig.escape();
    rig.release();
    std::thread([first] { first->onPartial(QStringLiteral("first take")); }).join();
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("first"));

    rig.advance(1s);
    rig.press();
    EXPECT_EQ(rig.state->liveTranscript(), QString());
    first->onPartial(QStringLiteral("late words of the first take"));
    rig.engine.latest()->onPartial(QStringLiteral("second"));
    pump();
    EXPECT_EQ(rig.state->liveTranscript(), QStringLiteral("second"));
}

TEST_F(SessionStateMachine, ChangingTheTriggerWhileHeldReleasesTheTake)
{
    rig.press();
    rig.advance(1s);
    rig.state->setTrigger(HotkeyMonitor::Trigger::rightControl);
    pump();
    EXPECT_EQ(rig.phase(), Kind::transcribing);
    EXPECT_FALSE(rig.hotkeys.isDown());
    EXPECT_EQ(rig.hotkeys.trigger(), HotkeyMonitor::Trigger::rightControl);

    // Held for less than a tap: the take is cancelled as a tap would be.
    rig.advance(30s);
    rig.press();
    rig.advance(100ms);
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
    rig.tap();
    EXPECT_EQ(phases.count(), 2); // recording, idle
    EXPECT_EQ(locks.count(), 0);
    EXPECT_EQ(sounds.count(), 0);
    rig.escape(); // nothing running
    EXPECT_EQ(phases.count(), 2);
    // Two failures with different messages are two changes.
    rig.recorder.failure = AudioRecorderError::noMicrophone();
    rig.press();
    rig.release();
    rig.recorder.failure = AudioRecorderError::cannotUse(QStringLiteral("USB Mic"));
    rig.press();
    EXPECT_EQ(phases.count(), 4);
    EXPECT_EQ(rig.state->phase(), AppState::Phase::error(QStringLiteral("Mic failed: Can't record from USB Mic")));
}

} // namespace
} // namespace sayloom::testing
