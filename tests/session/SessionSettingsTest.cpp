#include "SessionRig.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

namespace sayloom::testing {
namespace {

using Trigger = Trigger;
using Mic = MicrophonePreference;

// A settings file as a user or an earlier version left it, what the session reads from it, and one setting then
// assigned: written at once (also when unchanged), notified only when changed, and read back by the next run.
struct StoredSettings {
    const char* name;
    const char* file;
    Trigger trigger;
    bool aiCleanup, sounds;
    Mic microphone;
    void (*assign)(AppState&);
    QString key;
    const char* written;
};

const QString device = QStringLiteral("alsa_input.usb-Blue_Yeti");

const StoredSettings storedSettings[] = {
        {"Nothing", "", Trigger::rightOption, true, true, Mic::automatic(),
         [](AppState& state) { state.setSoundsEnabled(true); }, SessionSettings::soundsKey, "true"},
        {"Everything", "[General]\ntrigger=rightControl\naiCleanup=false\nsounds=false\nmicrophone=system\n",
         Trigger::rightControl, false, false, Mic::systemDefault(),
         [](AppState& state) { state.setTrigger(Trigger::rightCommand); }, SessionSettings::triggerKey, "rightCommand"},
        {"Device", "[General]\ntrigger=fn\nmicrophone=alsa_input.usb-Blue_Yeti\n", Trigger::fn, true, true,
         Mic::device(device), [](AppState& state) { state.setMicrophone(Mic::systemDefault()); },
         SessionSettings::microphoneKey, "system"},
        {"UnknownTrigger", "[General]\ntrigger=leftShift\nmicrophone=automatic\n", Trigger::rightOption, true, true,
         Mic::automatic(), [](AppState& state) { state.setTrigger(Trigger::rightOption); }, SessionSettings::triggerKey,
         "rightOption"},
        {"TriggerInAnotherCase", "[General]\ntrigger=RightCommand\n", Trigger::rightOption, true, true,
         Mic::automatic(), [](AppState& state) { state.setMicrophone(Mic::device(device)); },
         SessionSettings::microphoneKey, "alsa_input.usb-Blue_Yeti"},
        {"TextsWhereBooleansBelong", "[General]\naiCleanup=no\nsounds=0\n", Trigger::rightOption, true, true,
         Mic::automatic(), [](AppState& state) { state.setAiCleanupEnabled(false); }, SessionSettings::aiCleanupKey,
         "false"},
        {"ListsWhereTextsBelong", "[General]\ntrigger=fn, rightOption\nmicrophone=a, b\n", Trigger::rightOption, true,
         true, Mic::automatic(), [](AppState& state) { state.setMicrophone(Mic::automatic()); },
         SessionSettings::microphoneKey, "automatic"},
};

class SessionStoredSettings : public ::testing::TestWithParam<StoredSettings> {};

TEST_P(SessionStoredSettings, AreReadWithTheirFallbacksAndWrittenThrough)
{
    const StoredSettings& row = GetParam();
    SessionRig rig;
    QFile file(rig.path(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(row.file);
    file.close();
    rig.buildAndStart();
    const auto read = [&rig] {
        const AppState& state = *rig.state;
        EXPECT_EQ(rig.hotkeys.trigger(), state.trigger());
        return std::tuple(state.trigger(), state.aiCleanupEnabled(), state.soundsEnabled(), state.microphone());
    };
    EXPECT_EQ(read(), std::tuple(row.trigger, row.aiCleanup, row.sounds, row.microphone));
    rig.settings->settings().sync();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(row.file)); // reading writes nothing back

    int notified = 0;
    for (auto changed : {&AppState::triggerChanged, &AppState::aiCleanupEnabledChanged, &AppState::soundsEnabledChanged,
                         &AppState::microphoneChanged}) {
        QObject::connect(rig.state.get(), changed, [&notified] { ++notified; });
    }
    const auto before = read();
    row.assign(*rig.state);
    const auto after = read();
    EXPECT_EQ(notified, before == after ? 0 : 1);
    rig.settings->settings().sync();
    EXPECT_EQ(QSettings(file.fileName(), QSettings::IniFormat).value(row.key).toString(), QLatin1String(row.written));
    rig.buildAndStart();
    EXPECT_EQ(read(), after);
}

INSTANTIATE_TEST_SUITE_P(Files, SessionStoredSettings, ::testing::ValuesIn(storedSettings),
                         [](const ::testing::TestParamInfo<StoredSettings>& row) {
                             return std::string(row.param.name);
                         });

TEST(SessionStartUp, AsksForPermissionsAndFollowsAccessibilityUntilItIsGranted)
{
    SessionRig rig;
    rig.desktop.trusted = rig.desktop.microphone = false;
    rig.engine.prepareHeld = true;
    rig.build();
    EXPECT_FALSE(rig.state->accessibilityGranted());
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("Not prepared"));
    rig.state->start();
    pump();
    EXPECT_FALSE(rig.state->microphoneGranted());
    EXPECT_EQ(rig.desktop.prompts, 1);
    EXPECT_EQ(rig.hotkeys.starts, 1);
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("Preparing PocketSphinx…"));
    rig.engine.prepareGate.open();
    pump();
    EXPECT_EQ(rig.state->engineStatus(), QStringLiteral("PocketSphinx ready"));

    // Granted five minutes later: noticed within a second, the monitor starts afresh, and the polling ends.
    rig.advance(5min);
    rig.desktop.trusted = true;
    rig.advance(1s);
    EXPECT_TRUE(rig.state->accessibilityGranted());
    EXPECT_EQ(rig.hotkeys.starts, 2);
    EXPECT_EQ(rig.clock.sleepers(), 0u);

    // Everything granted at start, but the engine cannot be prepared: no prompt, and takes can still start.
    SessionRig granted;
    granted.engine.prepareFailure = QStringLiteral("The en-us model is not installed");
    granted.buildAndStart();
    EXPECT_TRUE(granted.state->microphoneGranted());
    EXPECT_TRUE(granted.state->accessibilityGranted());
    EXPECT_EQ(granted.desktop.prompts, 0);
    EXPECT_EQ(granted.state->engineStatus(), QStringLiteral("Engine error: The en-us model is not installed"));
    granted.press();
    EXPECT_EQ(granted.phase(), AppState::Phase::Kind::recording);
}

TEST(SessionStartUp, TheLanguageModelIsUsedOnlyWhenEnabledAndAvailableAtTheStartOfATake)
{
    SessionRig rig;
    rig.buildAndStart();
    rig.dictate(QStringLiteral("one"));
    EXPECT_EQ(rig.model->sessionsMade, 0);
    rig.model->available = LanguageModelAvailability::available;
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

} // namespace
} // namespace sayloom::testing
