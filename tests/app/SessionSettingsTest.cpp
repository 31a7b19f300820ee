#include "SessionRig.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using Trigger = HotkeyMonitor::Trigger;

// A settings file as a user or an earlier version left it, and what the session reads from it.
struct StoredSettings {
    const char* name;
    const char* file;
    Trigger trigger;
    bool aiCleanup;
    bool sounds;
    MicrophonePreference microphone;
};

const StoredSettings storedSettings[] = {
        {"Nothing", "", Trigger::rightOption, true, true, MicrophonePreference::automatic()},
        {"Everything", "[General]\ntrigger=rightControl\naiCleanup=false\nsounds=false\nmicrophone=system\n",
         Trigger::rightControl, false, false, MicrophonePreference::systemDefault()},
        {"Device", "[General]\ntrigger=fn\nmicrophone=alsa_input.usb-Blue_Yeti\n", Trigger::fn, true, true,
         MicrophonePreference::device(QStringLiteral("alsa_input.usb-Blue_Yeti"))},
        {"UnknownTrigger", "[General]\ntrigger=leftShift\nmicrophone=automatic\n", Trigger::rightOption, true, true,
         MicrophonePreference::automatic()},
        {"TriggerInAnotherCase", "[General]\ntrigger=RightCommand\n", Trigger::rightOption, true, true,
         MicrophonePreference::automatic()},
        {"TextsWhereBooleansBelong", "[General]\naiCleanup=no\nsounds=0\n", Trigger::rightOption, true, true,
         MicrophonePreference::automatic()},
        {"ListsWhereTextsBelong", "[General]\ntrigger=fn, rightOption\nmicrophone=a, b\n", Trigger::rightOption, true,
         true, MicrophonePreference::automatic()},
};

class SessionStoredSettings : public ::testing::TestWithParam<StoredSettings> {
protected:
    SessionRig rig;
};

TEST_P(SessionStoredSettings, AreReadOnceWithTheirFallbacks)
{
    const StoredSettings& row = GetParam();
    QFile file(rig.path(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(row.file);
    file.close();
    rig.buildAndStart();
    EXPECT_EQ(rig.state->trigger(), row.trigger);
    EXPECT_EQ(rig.hotkeys.trigger(), row.trigger);
    EXPECT_EQ(rig.state->aiCleanupEnabled(), row.aiCleanup);
    EXPECT_EQ(rig.state->soundsEnabled(), row.sounds);
    EXPECT_EQ(rig.state->microphone(), row.microphone);
    // Reading writes nothing back.
    rig.settings->settings().sync();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(row.file));
}

INSTANTIATE_TEST_SUITE_P(Files, SessionStoredSettings, ::testing::ValuesIn(storedSettings),
                         [](const ::testing::TestParamInfo<StoredSettings>& row) {
                             return std::string(row.param.name);
                         });

TEST(SessionSettings, EveryAssignmentIsWrittenAtOnceButNotifiesOnlyChanges)
{
    SessionRig rig;
    rig.buildAndStart();
    QSignalSpy triggers(rig.state.get(), &AppState::triggerChanged);
    QSignalSpy microphones(rig.state.get(), &AppState::microphoneChanged);
    const auto stored = [&rig](const QString& key) {
        return QSettings(rig.path(QStringLiteral("settings.ini")), QSettings::IniFormat).value(key);
    };

    rig.state->setTrigger(Trigger::rightOption);
    rig.state->setSoundsEnabled(true);
    rig.state->setMicrophone(MicrophonePreference::automatic());
    rig.settings->settings().sync();
    EXPECT_EQ(stored(SessionSettings::triggerKey), QStringLiteral("rightOption"));
    EXPECT_EQ(stored(SessionSettings::soundsKey).toString(), QStringLiteral("true"));
    EXPECT_EQ(stored(SessionSettings::microphoneKey), QStringLiteral("automatic"));
    EXPECT_EQ(triggers.count(), 0);
    EXPECT_EQ(microphones.count(), 0);

    rig.state->setTrigger(Trigger::rightCommand);
    rig.state->setAiCleanupEnabled(false);
    rig.state->setMicrophone(MicrophonePreference::systemDefault());
    rig.settings->settings().sync();
    EXPECT_EQ(stored(SessionSettings::triggerKey), QStringLiteral("rightCommand"));
    EXPECT_EQ(stored(SessionSettings::aiCleanupKey).toString(), QStringLiteral("false"));
    EXPECT_EQ(stored(SessionSettings::microphoneKey), QStringLiteral("system"));
    rig.state->setMicrophone(MicrophonePreference::device(QStringLiteral("alsa_input.pci-0000_00_1f.3")));
    rig.settings->settings().sync();
    EXPECT_EQ(stored(SessionSettings::microphoneKey), QStringLiteral("alsa_input.pci-0000_00_1f.3"));
    EXPECT_EQ(triggers.count(), 1);
    EXPECT_EQ(microphones.count(), 2);

    // What was written is what the next run reads.
    rig.buildAndStart();
    EXPECT_EQ(rig.state->trigger(), Trigger::rightCommand);
    EXPECT_FALSE(rig.state->aiCleanupEnabled());
    EXPECT_EQ(rig.state->microphone(), MicrophonePreference::device(QStringLiteral("alsa_input.pci-0000_00_1f.3")));
}

TEST(SessionStartUp, AsksForTheMicrophoneAndFollowsAccessibilityUntilItIsGranted)
{
    SessionRig rig;
    rig.accessibility.trusted = false;
    rig.permissions.microphone = false;
    rig.build();
    EXPECT_FALSE(rig.state->microphoneGranted());
    EXPECT_FALSE(rig.state->accessibilityGranted());
    rig.state->start();
    pump();
    EXPECT_EQ(rig.permissions.requests, 1);
    EXPECT_FALSE(rig.state->microphoneGranted());
    EXPECT_EQ(rig.accessibility.prompts, 1);
    EXPECT_TRUE(rig.hotkeys.running);
    EXPECT_EQ(rig.hotkeys.startCount, 1);

    // Granted five minutes later: noticed within a second, and the monitor starts afresh.
    rig.advance(5min);
    rig.accessibility.trusted = true;
    rig.advance(1s);
    EXPECT_TRUE(rig.state->accessibilityGranted());
    EXPECT_EQ(rig.hotkeys.startCount, 2);
    const int queries = rig.accessibility.queries;
    rig.advance(1min);
    EXPECT_EQ(rig.accessibility.queries, queries);
    EXPECT_EQ(rig.accessibility.prompts, 1);

    // Already granted at start: no prompt, one restart.
    SessionRig granted;
    granted.buildAndStart();
    EXPECT_TRUE(granted.state->microphoneGranted());
    EXPECT_EQ(granted.accessibility.prompts, 0);
    EXPECT_EQ(granted.hotkeys.startCount, 2);
    EXPECT_TRUE(granted.hotkeys.running);
}

TEST(SessionStartUp, EngineStatusMovesFromNotPreparedToReadyOrError)
{
    SessionRig rig;
    rig.engine.prepareHeld = true;
    rig.build();
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("Not prepared"));
    rig.state->start();
    pump();
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("Preparing PocketSphinx…"));
    rig.engine.prepareGate.open();
    pump();
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("PocketSphinx ready"));

    SessionRig failing;
    failing.engine.prepareFailure = QStringLiteral("The en-us model is not installed");
    failing.buildAndStart();
    EXPECT_EQ(failing.state->engineStatus(), QStringLiteral("Engine error: The en-us model is not installed"));
    // Takes can still be started.
    failing.press();
    EXPECT_EQ(failing.phase(), AppState::Phase::Kind::recording);
}

TEST(SessionStartUp, TheLanguageModelIsUsedOnlyWhenEnabledAndAvailableAtTheStartOfATake)
{
    SessionRig rig;
    rig.buildAndStart();
    EXPECT_EQ(rig.state->aiStatus(), QStringLiteral("Language model unavailable"));
    rig.dictate(QStringLiteral("one"));
    EXPECT_EQ(rig.model->sessionsMade, 0);

    rig.model->available = LanguageModelAvailability::modelNotReady;
    EXPECT_EQ(rig.state->aiStatus(), QStringLiteral("Language model is still loading"));
    rig.model->available = LanguageModelAvailability::available;
    EXPECT_EQ(rig.state->aiStatus(), QStringLiteral("Language model ready"));
    rig.dictate(QStringLiteral("two"));
    EXPECT_EQ(rig.model->sessionsMade, 1); // prewarmed at the press

    rig.state->setAiCleanupEnabled(false);
    rig.dictate(QStringLiteral("three"));
    EXPECT_EQ(rig.model->sessionsMade, 1);
    EXPECT_EQ(rig.inserter.inserted,
              (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
}

TEST(SessionStartUp, TheChosenMicrophoneIsResolvedAtEachTake)
{
    SessionRig rig;
    rig.devices.devices = {{1, QStringLiteral("bt"), QStringLiteral("Headset"), Transport::bluetooth},
                           {2, QStringLiteral("pci"), QStringLiteral("Built-in Microphone"), Transport::builtIn}};
    rig.buildAndStart();
    rig.press();
    EXPECT_EQ(rig.state->activeMicrophoneName(), QStringLiteral("Built-in Microphone"));
    EXPECT_EQ(rig.recorder.lastDevice->uid, QStringLiteral("pci"));
    rig.escape();
    rig.release();

    rig.state->setMicrophone(MicrophonePreference::device(QStringLiteral("gone")));
    rig.devices.devices.clear();
    rig.press();
    EXPECT_EQ(rig.state->activeMicrophoneName(), std::nullopt);
    EXPECT_EQ(rig.recorder.lastDevice, std::nullopt);
}

} // namespace
} // namespace sayloom::testing
