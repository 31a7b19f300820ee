#include "SessionRig.h"

namespace sayloom::testing {
namespace {

TEST(SessionStartUp, AsksForPermissionsAndFollowsAccessibilityUntilItIsGranted)
{
    SessionRig rig;
    rig.desktop.trusted = rig.desktop.microphone = false;
    rig.engine.prepareHeld = true;
    rig.build();
    EXPECT_FALSE(rig.state->accessibilityGranted());
    EXPECT_EQ(rig.state->engineStatus(), EngineStatus::notPrepared());
    rig.state->start();
    pump();
    EXPECT_FALSE(rig.state->microphoneGranted());
    EXPECT_EQ(rig.desktop.prompts, 1);
    EXPECT_EQ(rig.hotkeys.starts, 1);
    EXPECT_EQ(rig.state->engineStatus().text(), QStringLiteral("Preparing PocketSphinx…"));
    EXPECT_EQ(rig.state->engineStatus().kind(), EngineStatus::Kind::preparing);
    rig.engine.prepareGate.open();
    pump();
    EXPECT_EQ(rig.state->engineStatus().text(), QStringLiteral("PocketSphinx ready"));
    EXPECT_EQ(rig.state->engineStatus().kind(), EngineStatus::Kind::ready);

    // Granted five minutes later: noticed within a second, the monitor starts afresh, and the polling ends.
    rig.advance(5min);
    rig.desktop.trusted = true;
    rig.advance(1s);
    EXPECT_TRUE(rig.state->accessibilityGranted());
    EXPECT_EQ(rig.hotkeys.starts, 2);
    EXPECT_EQ(rig.clock.sleepers(), 0u);

    // A microphone that turns up later is noticed when the device list changes; losing it later is the recorder's
    // to report, so the grant stays.
    emit rig.desktop.devicesChanged();
    pump();
    EXPECT_FALSE(rig.state->microphoneGranted());
    rig.desktop.microphone = true;
    emit rig.desktop.devicesChanged();
    pump();
    EXPECT_TRUE(rig.state->microphoneGranted());
    rig.desktop.microphone = false;
    emit rig.desktop.devicesChanged();
    pump();
    EXPECT_TRUE(rig.state->microphoneGranted());

    // Everything granted at start, but the engine cannot be prepared: no prompt, and takes can still start.
    SessionRig granted;
    granted.engine.prepareFailure = QStringLiteral("The en-us model is not installed");
    granted.buildAndStart();
    EXPECT_TRUE(granted.state->microphoneGranted());
    EXPECT_TRUE(granted.state->accessibilityGranted());
    EXPECT_EQ(granted.desktop.prompts, 0);
    EXPECT_EQ(granted.state->engineStatus(), EngineStatus::failed(QStringLiteral("The en-us model is not installed")));
    EXPECT_EQ(granted.state->engineStatus().text(), QStringLiteral("Engine error: The en-us model is not installed"));
    granted.press();
    EXPECT_EQ(granted.phase(), AppState::Phase::Kind::recording);
    // Another engine chosen is prepared afresh, and the status line follows it.
    granted.engine.prepareFailure.reset();
    granted.preferences->setSpeechEngine(Preferences::SpeechEngine::server);
    pump();
    EXPECT_EQ(granted.state->engineStatus().text(), QStringLiteral("PocketSphinx ready"));

    // Settings chosen in the settings window reach the monitor and the session's own properties.
    int changes = 0;
    for (auto changed : {&AppState::triggerChanged, &AppState::aiCleanupEnabledChanged, &AppState::soundsEnabledChanged,
                         &AppState::microphoneChanged}) {
        QObject::connect(granted.state.get(), changed, [&changes] { ++changes; });
    }
    granted.preferences->setTrigger(Trigger::fn);
    granted.preferences->setAiCleanupEnabled(false);
    granted.preferences->setSoundsEnabled(false);
    granted.preferences->setMicrophone(MicrophonePreference::systemDefault());
    EXPECT_EQ(granted.hotkeys.trigger(), Trigger::fn);
    EXPECT_EQ(changes, 4);
}

TEST(SessionStartUp, TheLanguageModelIsUsedOnlyWhenEnabledAndAvailableAtTheStartOfATake)
{
    SessionRig rig;
    rig.buildAndStart();
    int statusChanges = 0;
    QObject::connect(rig.state.get(), &AppState::aiStatusChanged, [&statusChanges] { ++statusChanges; });
    rig.dictate(QStringLiteral("one"));
    EXPECT_EQ(rig.model->sessionsMade, 0);
    // The status line follows the model's availability, and says so only when its text changes.
    rig.model->setAvailability(LanguageModelAvailability::available);
    rig.model->setAvailability(LanguageModelAvailability::available);
    EXPECT_EQ(statusChanges, 1);
    EXPECT_EQ(rig.state->aiStatus(), QStringLiteral("Language model ready"));
    rig.dictate(QStringLiteral("two"));
    EXPECT_EQ(rig.model->sessionsMade, 1);
    rig.state->setAiCleanupEnabled(false);
    rig.dictate(QStringLiteral("three"));
    EXPECT_EQ(rig.model->sessionsMade, 1);
    // A refusing model leaves the basic cleanup.
    EXPECT_EQ(rig.desktop.inserted,
              (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
}

TEST(SessionStartUp, TheChosenMicrophoneIsResolvedAtEachTake)
{
    SessionRig rig;
    rig.desktop.devices = {{1, QStringLiteral("bt"), QStringLiteral("Headset"), Transport::bluetooth},
                           {2, QStringLiteral("pci"), QStringLiteral("Built-in Microphone"), Transport::builtIn}};
    rig.buildAndStart();
    rig.act("P E R");
    EXPECT_EQ(rig.state->activeMicrophoneName(), QStringLiteral("Built-in Microphone"));
    EXPECT_EQ(rig.recorder.lastDevice->uid, QStringLiteral("pci"));

    rig.state->setMicrophone(MicrophonePreference::device(QStringLiteral("gone")));
    rig.desktop.devices.clear();
    rig.press();
    EXPECT_EQ(rig.state->activeMicrophoneName(), std::nullopt);
    EXPECT_EQ(rig.recorder.lastDevice, std::nullopt);
}

TEST(SessionCancel, EscapeWithTheTriggerHeldGivesBackTheFocusTheDesktopTookForTheChord)
{
    SessionRig rig;
    rig.buildAndStart();
    rig.act("P +500 E");
    rig.desktop.front = FakeDesktop::itself;
    rig.advance(AppState::chordSettleDelay + 100ms);
    EXPECT_EQ(rig.desktop.activated, QStringList{FakeDesktop::editor.identity});

    // Focus left where it was, or Escape in a hands-free take (no chord): nothing to give back.
    rig.desktop.activated.clear();
    rig.act("R P +500 E R +1000 T");
    ASSERT_TRUE(rig.state->isLocked());
    rig.desktop.front = FakeDesktop::itself;
    rig.act("E +1000");
    EXPECT_EQ(rig.desktop.activated, QStringList());
}

} // namespace
} // namespace sayloom::testing
