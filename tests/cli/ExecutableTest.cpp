#include "SayloomProcess.h"
#include "dictionary/DictionaryFile.h"
#include "support/Printers.h"
#include "support/ScriptedHttpServer.h"
#include "text/AIPolisher.h"
#include "text/BasicPolisher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using test::ScriptedHttpServer;

// Runs a tool to completion; false, with its error output, when it fails.
testing::AssertionResult tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << program.toStdString() << ": " << process.readAllStandardError().toStdString();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each developer command once, through the real executable: its wiring, its output format, and the failures only a
// process can show. What the commands compute is proven by the libraries' own tests.
class Executable : public ::testing::Test {
protected:
    // A file in the data folder, such as the dictionary or the settings ("config/Sayloom/Sayloom.conf").
    QString write(const QString& relative, const QByteArray& bytes)
    {
        const QString path = home.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    SayloomProcess::Result run(const QStringList& arguments, const QProcessEnvironment& environment = {})
    {
        const SayloomProcess::Result ran = SayloomProcess::run(arguments, home.path(), environment);
        EXPECT_TRUE(ran.exitedNormally) << ran.standardError.toStdString();
        return ran;
    }

    // The output lines of a successful run, with each "took:" line counted and left out.
    QStringList outputLines(const QStringList& arguments, const QProcessEnvironment& environment = {})
    {
        result = run(arguments, environment);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        return SayloomProcess::linesWithoutTimings(result.standardOutput, tookLines);
    }

    QTemporaryDir home;
    SayloomProcess::Result result;
    int tookLines = 0;
};

TEST_F(Executable, AnswersHelpAndVersionAnywhereAndNeedsADisplayOnlyForTheApplication)
{
    // No display and no sound server: help and the version need neither.
    QProcessEnvironment bare;
    bare.insert(u"DISPLAY"_s, QString());
    bare.insert(u"WAYLAND_DISPLAY"_s, QString());
    bare.insert(u"PULSE_SERVER"_s, u"unix:/nonexistent"_s);
    result = run({u"--version"_s}, bare);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.toStdString(), "sayloom " SAYLOOM_VERSION "\n");
    result = run({u"--help"_s}, bare);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.standardOutput.startsWith("Usage: sayloom [COMMAND]\n"));
    EXPECT_EQ(result.standardError.toStdString(), "");

    // Which arguments name a command is the parser's business; any that do not start the application, which says
    // in one line that it needs a display.
    result = run({u"--correct"_s}, bare);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "");
    EXPECT_EQ(result.standardError.count('\n'), 1);
    EXPECT_TRUE(result.standardError.contains("no display is set")) << result.standardError.toStdString();
}

// The width and height a PNG file declares in its header; nothing when it is not a PNG.
std::optional<QSize> pngSize(const QString& path)
{
    const QByteArray bytes = readAll(path);
    if (bytes.size() < 24 || !bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        return std::nullopt;
    }
    const auto number = [&bytes](int at) {
        return int(quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
                   quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3])));
    };
    return QSize(number(16), number(20));
}

// Drawn with no display at all; a second run replaces the images and nothing else; a folder that cannot be made
// still ends quietly with its path.
TEST_F(Executable, SnapshotWritesEveryImageAtTwiceItsSize)
{
    const QString folder = home.filePath(u"shots/new"_s);
    QProcessEnvironment environment;
    environment.insert(u"DISPLAY"_s, u""_s);
    environment.insert(u"WAYLAND_DISPLAY"_s, u""_s);
    const std::pair<QString, QSize> images[] = {{u"home"_s, QSize(1616, 1800)},
                                                {u"rows"_s, QSize(1616, 1120)},
                                                {u"settings-general"_s, QSize(1040, 1040)},
                                                {u"settings-model"_s, QSize(1040, 720)},
                                                {u"settings-permissions"_s, QSize(1040, 480)},
                                                {u"pill"_s, QSize(736, 944)}};
    for (int round = 0; round < 2; ++round) {
        result = run({u"--snapshot"_s, folder}, environment);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_EQ(result.standardOutput.toStdString(), folder.toStdString() + "\n");
        for (const auto& [name, size] : images) {
            for (const QString& appearance : {u"light"_s, u"dark"_s}) {
                const QString path = folder + u'/' + name + u'-' + appearance + u".png";
                EXPECT_EQ(pngSize(path), size) << path.toStdString();
            }
        }
        if (round == 0) {
            write(u"shots/new/home-dark.png"_s, "not an image");
            write(u"shots/new/notes.txt"_s, "mine");
        }
    }
    EXPECT_EQ(readAll(folder + u"/notes.txt"_s), "mine");

    const QString blocked = write(u"a-file"_s, "x") + u"/shots"_s;
    result = run({u"--snapshot"_s, blocked}, environment);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.toStdString(), blocked.toStdString() + "\n");
    EXPECT_FALSE(QFileInfo::exists(blocked));
}

// Without a sound server there is no device to list and nothing to record from; the lines before the failure stay.
TEST_F(Executable, RecordWithoutASoundServerListsNoDevicesAndFails)
{
    QProcessEnvironment environment;
    environment.insert(u"PULSE_SERVER"_s, u"unix:"_s + home.filePath(u"no-server"_s));
    result = run({u"--record"_s, u"1"_s}, environment);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "devices:  []\nmic:      system default\n");
    // The audio library may log why before the command's own error line.
    const QStringList error = QString::fromUtf8(result.standardError).trimmed().split(u'\n');
    EXPECT_TRUE(error.last().startsWith(u"error: "_s)) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError.count("error: "), 1) << result.standardError.toStdString();
}

// The self-test's lint cases judge words against the system word list, which the bootstrap installs.
TEST_F(Executable, SelfTestPassesEveryCase)
{
    result = run({u"--selftest"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.toStdString(), "PASS  18 correction cases, 8 warning cases\n");
    EXPECT_EQ(result.standardError.toStdString(), "");
}

TEST_F(Executable, CorrectPrintsTheTextAndEachChangeAndNeverWritesTheDictionary)
{
    const QString path = home.filePath(u"Sayloom/Dictionary.txt"_s);
    result = run({u"--correct"_s, u"cloud code"_s});
    EXPECT_EQ(result.standardOutput.toStdString(), "corrected: cloud code\n");
    EXPECT_FALSE(QFileInfo::exists(path)) << "a dictionary file appeared";

    // The heard text is printed as it was, line break and all.
    const QByteArray dictionary = (DictionaryFile::header() + u"cloud code -> Claude Code\nSupabase\n").toUtf8();
    write(u"Sayloom/Dictionary.txt"_s, dictionary);
    result = run({u"--correct"_s, u"cloud\ncode and SUPABASE, Supabase"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.toStdString(),
              "corrected: Claude Code and Supabase, Supabase\n  cloud\ncode -> Claude Code\n  SUPABASE -> Supabase\n");
    EXPECT_EQ(result.standardError.toStdString(), "");
    EXPECT_EQ(readAll(path), dictionary) << "the dictionary file changed";

    // A file that is not UTF-8 counts as empty, even its valid lines, and is left as it is.
    write(u"Sayloom/Dictionary.txt"_s, dictionary + "caf\xE9 -> Caf\xE9\n");
    result = run({u"--correct"_s, u"cloud code"_s});
    EXPECT_EQ(result.standardOutput.toStdString(), "corrected: cloud code\n");
    EXPECT_EQ(readAll(path), dictionary + "caf\xE9 -> Caf\xE9\n");
}

TEST_F(Executable, PolishWithoutAModelGivesTheBasicCleanup)
{
    EXPECT_EQ(
            outputLines({u"--polish"_s, u"uh so the the report is done new paragraph hmm, send it new line thanks"_s}),
            (QStringList{u"ai:       Set up a local language model in Settings"_s, u"polished: So the report is done"_s,
                         QString(), u"Send it"_s, u"Thanks"_s}));
    EXPECT_EQ(tookLines, 1);
}

TEST_F(Executable, PolishUsesTheServerFromTheSettingsWithTheDictionaryTerms)
{
    ScriptedHttpServer server;
    write(u"config/Sayloom/Sayloom.conf"_s, "[General]\nlanguageModelURL=" + server.baseURL().toUtf8() + "\n");
    write(u"Sayloom/Dictionary.txt"_s, "# comment\nSupabase\ncloud code -> Claude Code\nSupabase\n");
    server.enqueue(ScriptedHttpServer::answer(u"Deploy it to Supabase on Friday."_s));

    QProcessEnvironment environment;
    environment.insert(u"SAYLOOM_DEBUG"_s, QString());
    EXPECT_EQ(outputLines({u"--polish"_s, u"um deploy it to super base on tuesday no wait friday"_s}, environment),
              (QStringList{u"ai:       Language model ready"_s, u"polished: Deploy it to Supabase on Friday."_s}));
    EXPECT_EQ(tookLines, 1);
    EXPECT_TRUE(result.standardError.contains("model:    Deploy it to Supabase on Friday.\n"))
            << result.standardError.toStdString();

    const QList<ScriptedHttpServer::Request> requests = server.chatRequests();
    ASSERT_EQ(requests.size(), 1);
    // Every phrase in file order, duplicates and all.
    EXPECT_EQ(requests[0].message(u"user"_s),
              u"Spell these terms exactly: Supabase, Claude Code, Supabase\n"
              u"<transcript>um deploy it to super base on tuesday no wait friday</transcript>"_s);
    EXPECT_EQ(requests[0].message(u"system"_s), AIPolisher::instructions());
}

// One spoken sentence, made once for all tests in the shapes a user's files come in.
class TranscribeCommand : public Executable {
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<QTemporaryDir>();
        const QString speech = file(u"speech-16k-mono.wav"_s);
        ASSERT_TRUE(
                tool(u"flite"_s, {u"-voice"_s, u"slt"_s, u"-t"_s, u"the weather is nice today"_s, u"-o"_s, speech}));
        ASSERT_TRUE(tool(u"sox"_s, {speech, u"-r"_s, u"44100"_s, u"-c"_s, u"2"_s, file(u"speech-44k-stereo.wav"_s)}));
        ASSERT_TRUE(tool(u"sox"_s, {speech, u"-r"_s, u"22050"_s, file(u"speech-22k.ogg"_s)}));
    }
    static void TearDownTestSuite() { s_folder.reset(); }
    static QString file(const QString& name) { return s_folder->filePath(name); }

    static inline std::unique_ptr<QTemporaryDir> s_folder;
};

TEST_F(TranscribeCommand, EachFileTypePrintsTheTranscriptThenTheTime)
{
    for (const QString& name : {u"speech-16k-mono.wav"_s, u"speech-44k-stereo.wav"_s, u"speech-22k.ogg"_s}) {
        const QStringList lines = outputLines({u"--transcribe"_s, file(name)});
        ASSERT_EQ(lines.size(), 2) << name.toStdString() << ": " << result.standardOutput.toStdString();
        EXPECT_TRUE(result.standardOutput.startsWith("raw:      ")) << result.standardOutput.toStdString();
        EXPECT_EQ(lines[1], u"engine:   PocketSphinx"_s);
        // A synthetic voice through a general language model rarely gets every word.
        const QStringList heard = lines[0].toLower().split(u' ');
        EXPECT_GE(heard.contains(u"weather"_s) + heard.contains(u"nice"_s) + heard.contains(u"today"_s), 2)
                << name.toStdString() << ": " << lines[0].toStdString();
        EXPECT_EQ(tookLines, 1);
    }
}

TEST_F(TranscribeCommand, PolishCleansUpTheSameTranscript)
{
    const QStringList lines = outputLines({u"--transcribe"_s, file(u"speech-16k-mono.wav"_s), u"--polish"_s});
    ASSERT_EQ(lines.size(), 4) << result.standardOutput.toStdString();
    // No language model is set up in the test's settings, so the basic cleanup answers.
    EXPECT_EQ(lines[2], u"ai:       Set up a local language model in Settings"_s);
    EXPECT_EQ(lines[3], u"polished: " + BasicPolisher::polished(lines[0].mid(10)));
    EXPECT_EQ(tookLines, 2);
    EXPECT_LT(result.standardOutput.indexOf("took:"), result.standardOutput.indexOf("ai:"));
}

TEST_F(TranscribeCommand, ALongFileIsTranscribedToItsEnd)
{
    // A minute of speech takes the recogniser longer than a live take's finishing allowance to decode.
    const QString paused = home.filePath(u"paused.wav"_s);
    const QString minute = home.filePath(u"minute.wav"_s);
    ASSERT_TRUE(tool(u"sox"_s, {file(u"speech-16k-mono.wav"_s), paused, u"pad"_s, u"0"_s, u"0.6"_s}));
    ASSERT_TRUE(tool(u"sox"_s, {paused, minute, u"repeat"_s, u"24"_s}));
    const QStringList lines = outputLines({u"--transcribe"_s, minute});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_GE(lines[0].count(u"nice"_s), 24) << lines[0].toStdString();
}

TEST_F(TranscribeCommand, UsesTheSpeechServerFromTheSettingsAndFallsBackToPocketSphinx)
{
    ScriptedHttpServer server;
    write(u"config/Sayloom/Sayloom.conf"_s,
          "[General]\nspeechEngine=server\nspeechServerModel=whisper-1\nspeechServerURL=" + server.baseURL().toUtf8() +
                  "\n");
    write(u"Sayloom/Dictionary.txt"_s, "Supabase\ncloud code -> Claude Code\n");
    server.enqueueTranscriptions({ScriptedHttpServer::transcription(u" The weather is nice today."_s),
                                  ScriptedHttpServer::status(500, R"({"error":"out of memory"})")});

    EXPECT_EQ(outputLines({u"--transcribe"_s, file(u"speech-16k-mono.wav"_s)}),
              (QStringList{u"raw:      The weather is nice today."_s, u"engine:   Speech server (whisper-1)"_s}));
    const auto requests = server.requests("/audio/transcriptions");
    ASSERT_EQ(requests.size(), 1);
    // The newest dictionary entry last, where the server pays it most attention.
    EXPECT_EQ(requests[0].form().value(5).body, "Glossary: Supabase, Claude Code.");

    const QStringList fallback = outputLines({u"--transcribe"_s, file(u"speech-16k-mono.wav"_s)});
    ASSERT_EQ(fallback.size(), 2);
    EXPECT_TRUE(fallback[0].contains(u"nice"_s)) << fallback[0].toStdString();
    EXPECT_EQ(fallback[1], u"engine:   PocketSphinx (speech server: HTTP 500: out of memory)"_s);
}

TEST_F(TranscribeCommand, UnreadableFilesFailWithOneLineNamingTheFileAndTheReason)
{
    // A header and no audio at all: the file is to blame, not the microphone.
    const QString empty = home.filePath(u"empty.wav"_s);
    ASSERT_TRUE(tool(u"sox"_s, {file(u"speech-16k-mono.wav"_s), empty, u"trim"_s, u"0"_s, u"0"_s}));
    const std::pair<QString, QString> cases[] = {
            {file(u"missing.wav"_s), u"System error : No such file or directory."_s},
            {empty, u"the file holds no audio"_s},
    };
    for (const auto& [path, reason] : cases) {
        result = run({u"--transcribe"_s, path});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardOutput.toStdString(), "");
        EXPECT_EQ(QString::fromUtf8(result.standardError),
                  u"error: Can't read \u201C" + path + u"\u201D: " + reason + u'\n');
    }
}

} // namespace
} // namespace sayloom
