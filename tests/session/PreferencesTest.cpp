#include "session/Preferences.h"

#include "session/QSettingsStore.h"
#include "support/Printers.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using Mic = MicrophonePreference;

// A settings file as a user or an earlier build left it, what it reads as, and one setting then assigned: written
// at once (also when unchanged), notified only when changed, and read back by the next run.
struct StoredSettings {
    const char* name;
    const char* file;
    Trigger trigger;
    bool aiCleanup, sounds;
    Mic microphone;
    QString url, model;
    void (*assign)(Preferences&);
    QString key;
    const char* written;
};

const QString yeti = QStringLiteral("alsa_input.usb-Blue_Yeti");

const StoredSettings storedSettings[] = {
        {"Nothing",
         "",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         {},
         {},
         [](Preferences& p) { p.setSoundsEnabled(true); },
         Preferences::soundsKey,
         "true"},
        // As the previous build wrote it.
        {"Everything",
         "[General]\naiCleanup=false\nlanguageModelName=qwen2.5\nlanguageModelURL=http://127.0.0.1:8080/v1\n"
         "microphone=system\nsounds=false\ntrigger=rightControl\n",
         Trigger::rightControl, false, false, Mic::systemDefault(), QStringLiteral("http://127.0.0.1:8080/v1"),
         QStringLiteral("qwen2.5"), [](Preferences& p) { p.setTrigger(Trigger::rightCommand); },
         Preferences::triggerKey, "rightCommand"},
        {"Device",
         "[General]\ntrigger=fn\nmicrophone=alsa_input.usb-Blue_Yeti\n",
         Trigger::fn,
         true,
         true,
         Mic::device(yeti),
         {},
         {},
         [](Preferences& p) { p.setMicrophone(Mic::systemDefault()); },
         Preferences::microphoneKey,
         "system"},
        {"UnknownTrigger",
         "[General]\ntrigger=leftShift\nmicrophone=automatic\n",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         {},
         {},
         [](Preferences& p) { p.setTrigger(Trigger::rightOption); },
         Preferences::triggerKey,
         "rightOption"},
        {"TriggerInAnotherCase",
         "[General]\ntrigger=RightCommand\n",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         {},
         {},
         [](Preferences& p) { p.setMicrophone(Mic::device(yeti)); },
         Preferences::microphoneKey,
         "alsa_input.usb-Blue_Yeti"},
        {"TextsWhereBooleansBelong",
         "[General]\naiCleanup=no\nsounds=0\n",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         {},
         {},
         [](Preferences& p) { p.setAiCleanupEnabled(false); },
         Preferences::aiCleanupKey,
         "false"},
        {"ListsWhereTextsBelong",
         "[General]\ntrigger=fn, rightOption\nmicrophone=a, b\nlanguageModelURL=a, b\n",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         {},
         {},
         [](Preferences& p) { p.setMicrophone(Mic::automatic()); },
         Preferences::microphoneKey,
         "automatic"},
        {"BlanksAroundTheModel",
         "[General]\nlanguageModelURL=\" http://localhost:11434/v1 \"\nlanguageModelName=\" \"\n",
         Trigger::rightOption,
         true,
         true,
         Mic::automatic(),
         QStringLiteral("http://localhost:11434/v1"),
         {},
         [](Preferences& p) { p.setLanguageModelName(QStringLiteral(" llama3 ")); },
         Preferences::languageModelNameKey,
         "llama3"},
};

class PreferencesFiles : public ::testing::TestWithParam<StoredSettings> {};

TEST_P(PreferencesFiles, AreReadWithTheirFallbacksAndWrittenThrough)
{
    const StoredSettings& row = GetParam();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(row.file);
    file.close();
    const auto read = [](const Preferences& p) {
        return std::tuple(p.trigger(), p.aiCleanupEnabled(), p.soundsEnabled(), p.microphone(), p.languageModelURL(),
                          p.languageModelName());
    };
    auto store = std::make_unique<QSettingsStore>(file.fileName());
    auto preferences = std::make_unique<Preferences>(*store);
    EXPECT_EQ(read(*preferences),
              std::tuple(row.trigger, row.aiCleanup, row.sounds, row.microphone, row.url, row.model));
    store->settings().sync();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(row.file)); // reading writes nothing back
    file.close();

    int notified = 0;
    for (auto changed : {&Preferences::triggerChanged, &Preferences::aiCleanupEnabledChanged,
                         &Preferences::soundsEnabledChanged, &Preferences::microphoneChanged,
                         &Preferences::languageModelURLChanged, &Preferences::languageModelNameChanged}) {
        QObject::connect(preferences.get(), changed, [&notified] { ++notified; });
    }
    const auto before = read(*preferences);
    row.assign(*preferences);
    const auto after = read(*preferences);
    EXPECT_EQ(notified, before == after ? 0 : 1);
    preferences.reset();
    store.reset();
    EXPECT_EQ(QSettings(file.fileName(), QSettings::IniFormat).value(row.key).toString(), QLatin1String(row.written));
    QSettingsStore again(file.fileName());
    EXPECT_EQ(read(Preferences(again)), after);
}

INSTANTIATE_TEST_SUITE_P(Files, PreferencesFiles, ::testing::ValuesIn(storedSettings),
                         [](const ::testing::TestParamInfo<StoredSettings>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace sayloom
