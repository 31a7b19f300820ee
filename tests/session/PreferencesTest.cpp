#include "session/Preferences.h"

#include "session/QSettingsStore.h"
#include "support/Printers.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <map>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

// A settings file as a user or an earlier build left it and what it reads as (trigger, AI cleanup, sounds,
// microphone, model address, model name), then one setting assigned: written at once (also when unchanged),
// notified only when changed, and read back by the next run.
struct StoredSettings {
    const char* name;
    const char* file;
    const char* read;
    QString key;
    const char* assigned;
    const char* written;
};

const StoredSettings storedSettings[] = {
        {"Nothing", "", "rightOption|true|true|automatic|||pocketsphinx|||en|", Preferences::soundsKey, "true", "true"},
        // As the previous build wrote it.
        {"Everything",
         "[General]\naiCleanup=false\nlanguageModelName=qwen2.5\nlanguageModelURL=http://127.0.0.1:8080/v1\n"
         "microphone=system\nsounds=false\ntrigger=rightControl\n",
         "rightControl|false|false|system|http://127.0.0.1:8080/v1|qwen2.5|pocketsphinx|||en|", Preferences::triggerKey,
         "rightCommand", "rightCommand"},
        {"Device", "[General]\ntrigger=fn\nmicrophone=alsa_input.usb-Blue_Yeti\n",
         "fn|true|true|alsa_input.usb-Blue_Yeti|||pocketsphinx|||en|", Preferences::microphoneKey, "system", "system"},
        {"UnknownTrigger", "[General]\ntrigger=leftShift\n", "rightOption|true|true|automatic|||pocketsphinx|||en|",
         Preferences::triggerKey, "rightOption", "rightOption"},
        {"TriggerInAnotherCase", "[General]\ntrigger=RightCommand\nmicrophone=System\n",
         "rightOption|true|true|System|||pocketsphinx|||en|", Preferences::microphoneKey, "automatic", "automatic"},
        {"TextsWhereBooleansBelong", "[General]\naiCleanup=no\nsounds=0\n",
         "rightOption|true|true|automatic|||pocketsphinx|||en|", Preferences::aiCleanupKey, "false", "false"},
        {"ListsWhereTextsBelong", "[General]\ntrigger=fn, rightOption\nmicrophone=a, b\nlanguageModelURL=a, b\n",
         "rightOption|true|true|automatic|||pocketsphinx|||en|", Preferences::languageModelURLKey,
         "http://[::1]:8080/v1", "http://[::1]:8080/v1"},
        {"BlanksAroundTheModel", "[General]\nlanguageModelURL=\" http://localhost/v1 \"\nlanguageModelName=\" \"\n",
         "rightOption|true|true|automatic|http://localhost/v1||pocketsphinx|||en|", Preferences::languageModelNameKey,
         " llama3 ", "llama3"},
        {"SpeechServer",
         "[General]\nspeechEngine=server\nspeechServerAPIKey=k\nspeechServerLanguage=de\nspeechServerModel=whisper-1\n"
         "speechServerURL=http://127.0.0.1:8080/v1\n",
         "rightOption|true|true|automatic|||server|http://127.0.0.1:8080/v1|whisper-1|de|k",
         Preferences::speechEngineKey, "pocketsphinx", "pocketsphinx"},
        // Anything but "server" is PocketSphinx; a blank language is stored empty, for the server to detect.
        {"UnknownSpeechEngine", "[General]\nspeechEngine=Server\nspeechServerLanguage=a, b\n",
         "rightOption|true|true|automatic|||pocketsphinx|||en|", Preferences::speechServerLanguageKey, " ", ""},
};

QString read(const Preferences& p)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    QStringList values{rawValue(p.trigger()),        flag(p.aiCleanupEnabled()), flag(p.soundsEnabled()),
                       p.microphone().storedValue(), p.languageModelURL(),       p.languageModelName()};
    values << (p.speechEngine() == Preferences::SpeechEngine::server ? u"server"_s : u"pocketsphinx"_s)
           << p.speechServerURL() << p.speechServerModel() << p.speechServerLanguage() << p.speechServerAPIKey();
    return values.join(u'|');
}

void assign(Preferences& p, const QString& key, const QString& value)
{
    if (key == Preferences::triggerKey) {
        p.setTrigger(*triggerFromRawValue(value));
    } else if (key == Preferences::aiCleanupKey) {
        p.setAiCleanupEnabled(value == u"true");
    } else if (key == Preferences::soundsKey) {
        p.setSoundsEnabled(value == u"true");
    } else if (key == Preferences::microphoneKey) {
        p.setMicrophone(MicrophonePreference(value));
    } else if (key == Preferences::languageModelURLKey) {
        p.setLanguageModelURL(value);
    } else if (key == Preferences::speechEngineKey) {
        p.setSpeechEngine(value == u"server" ? Preferences::SpeechEngine::server
                                             : Preferences::SpeechEngine::pocketsphinx);
    } else if (key == Preferences::speechServerLanguageKey) {
        p.setSpeechServerLanguage(value);
    } else {
        p.setLanguageModelName(value);
    }
}

class PreferencesFiles : public ::testing::TestWithParam<StoredSettings> {};

TEST_P(PreferencesFiles, AreReadWithTheirFallbacksAndWrittenThrough)
{
    const StoredSettings& row = GetParam();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(row.file);
    file.close();
    auto store = std::make_unique<QSettingsStore>(file.fileName());
    auto preferences = std::make_unique<Preferences>(*store);
    EXPECT_EQ(read(*preferences), QString::fromUtf8(row.read));
    store->settings().sync();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(row.file)); // reading writes nothing back
    file.close();

    int notified = 0;
    for (auto changed : {&Preferences::triggerChanged, &Preferences::aiCleanupEnabledChanged,
                         &Preferences::soundsEnabledChanged, &Preferences::microphoneChanged,
                         &Preferences::languageModelURLChanged, &Preferences::languageModelNameChanged,
                         &Preferences::speechEngineChanged, &Preferences::speechServerLanguageChanged}) {
        QObject::connect(preferences.get(), changed, [&notified] { ++notified; });
    }
    const QString before = read(*preferences);
    assign(*preferences, row.key, QString::fromUtf8(row.assigned));
    const QString after = read(*preferences);
    EXPECT_EQ(notified, before == after ? 0 : 1);
    // On disk at once, while the store still lives (syncing finds nothing left to write): a process that dies next
    // loses nothing.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    store->settings().sync();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), written);
    file.close();
    preferences.reset(), store.reset();
    EXPECT_EQ(QSettings(file.fileName(), QSettings::IniFormat).value(row.key).toString(), QLatin1String(row.written));
    QSettingsStore again(file.fileName());
    EXPECT_EQ(read(Preferences(again)), after);
}

INSTANTIATE_TEST_SUITE_P(Files, PreferencesFiles, ::testing::ValuesIn(storedSettings),
                         [](const ::testing::TestParamInfo<StoredSettings>& row) {
                             return std::string(row.param.name);
                         });

// Server addresses as a user might type them: on this computer (or empty: not set up) they are usable; anything
// else is refused with the reason. A problem names its kind: g garbage, s scheme, h host elsewhere.
TEST(Preferences, AcceptsOnlyServerAddressesOnThisComputer)
{
    const std::pair<const char*, char> addresses[] = {
            {"", 0},
            {"   ", 0},
            {"http://127.0.0.1:8080/v1", 0},
            {" https://127.1.2.3/v1 ", 0},
            {"http://[::1]:11434/v1", 0},
            {"http://LocalHost:8080", 0},
            {"http://192.168.1.20:8080/v1", 'h'},
            {"https://api.openai.com/v1", 'h'},
            {"http://localhost.example.com/v1", 'h'},
            {"http://127.0.0.1@example.com/v1", 'h'},
            {"http://127.0.0.1.example.com/v1", 'h'},
            {"http://0.0.0.0:8080/v1", 'h'},
            {"http://[::ffff:10.0.0.1]/v1", 'h'},
            {"ftp://127.0.0.1/v1", 's'},
            {"file:///tmp/model", 'g'},
            {"127.0.0.1:8080", 'g'},
            {"http://", 'g'},
            {"not an address", 'g'},
    };
    const std::map<char, QString> messages{
            {'g', u"Enter a full address, such as http://127.0.0.1:8080/v1."_s},
            {'s', u"Only http:// and https:// addresses work here."_s},
            {'h', u"The server must run on this computer (127.0.0.1, ::1 or localhost), so that nothing you say leaves "
                  u"it."_s}};
    for (const auto& [address, problem] : addresses) {
        SCOPED_TRACE(address);
        const std::optional<QString> expected = problem ? std::optional(messages.at(problem)) : std::nullopt;
        EXPECT_EQ(Preferences::serverAddressProblem(QString::fromUtf8(address)), expected);
    }
}

} // namespace
} // namespace sayloom
