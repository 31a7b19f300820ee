#include "SayloomProcess.h"
#include "support/Printers.h"
#include "text/BasicPolisher.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

const QString spoken = u"the weather is nice today"_s;

// Runs a tool to completion; false (with its error output in the failure message) when it fails.
testing::AssertionResult tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return testing::AssertionFailure()
               << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
    }
    return testing::AssertionSuccess();
}

// How many of the sentence's telling words the recogniser heard; a synthetic voice through a general language
// model rarely gets every word.
int wordsHeard(const QString& transcript)
{
    const QStringList heard = transcript.toLower().split(u' ');
    return int(std::ranges::count_if(QStringList{u"weather"_s, u"nice"_s, u"today"_s},
                                     [&](const QString& word) { return heard.contains(word); }));
}

// One spoken sentence, made once for all tests in the shapes a user's files come in.
class TranscribeCommand : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new QTemporaryDir;
        ASSERT_TRUE(s_folder->isValid());
        const QString speech = file(u"speech-16k-mono.wav"_s);
        ASSERT_TRUE(tool(u"flite"_s, {u"-voice"_s, u"slt"_s, u"-t"_s, spoken, u"-o"_s, speech}));
        ASSERT_TRUE(tool(u"sox"_s, {speech, u"-r"_s, u"44100"_s, u"-c"_s, u"2"_s, file(u"speech-44k-stereo.wav"_s)}));
        ASSERT_TRUE(tool(u"sox"_s, {speech, file(u"speech.flac"_s)}));
        ASSERT_TRUE(tool(u"sox"_s, {speech, u"-r"_s, u"22050"_s, file(u"speech-22k.ogg"_s)}));
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        s_folder = nullptr;
    }
    static QString file(const QString& name) { return s_folder->filePath(name); }

    // The output lines of a successful run, with each "took:" line counted and left out.
    QStringList transcribe(const QStringList& arguments)
    {
        result = SayloomProcess::run(QStringList{u"--transcribe"_s} + arguments, home.path());
        EXPECT_TRUE(result.exitedNormally);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_TRUE(result.standardOutput.endsWith('\n'));
        return SayloomProcess::linesWithoutTimings(result.standardOutput, tookLines);
    }

    // A failed run prints one error line, naming the file and the reason.
    void expectFailure(const QString& path, const QString& reason)
    {
        result = SayloomProcess::run({u"--transcribe"_s, path}, home.path());
        EXPECT_TRUE(result.exitedNormally);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardOutput, QByteArray());
        EXPECT_EQ(QString::fromUtf8(result.standardError),
                  u"error: Can't read \u201C" + path + u"\u201D: " + reason + u'\n');
    }

    static inline QTemporaryDir* s_folder = nullptr;
    QTemporaryDir home;
    SayloomProcess::Result result;
    int tookLines = 0;
};

TEST_F(TranscribeCommand, EachFileTypePrintsTheTranscriptThenTheTime)
{
    for (const QString& name :
         {u"speech-16k-mono.wav"_s, u"speech-44k-stereo.wav"_s, u"speech.flac"_s, u"speech-22k.ogg"_s}) {
        SCOPED_TRACE(name.toStdString());
        const QStringList lines = transcribe({file(name)});
        ASSERT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
        EXPECT_TRUE(lines[0].startsWith(u"raw:      "_s)) << lines[0].toStdString();
        EXPECT_GE(wordsHeard(lines[0].mid(10)), 2) << lines[0].toStdString();
        EXPECT_EQ(tookLines, 1);
        EXPECT_TRUE(result.standardOutput.contains("\ntook:     ")) << "the time comes last";
    }
}

TEST_F(TranscribeCommand, PolishCleansUpTheSameTranscript)
{
    const QStringList lines = transcribe({file(u"speech-16k-mono.wav"_s), u"--polish"_s});
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    ASSERT_TRUE(lines[0].startsWith(u"raw:      "_s)) << lines[0].toStdString();
    // No language model is set up in the test's settings, so the basic cleanup answers.
    EXPECT_EQ(lines[1], u"ai:       Set up a local language model in Settings"_s);
    EXPECT_EQ(lines[2], u"polished: " + BasicPolisher::polished(lines[0].mid(10)));
    EXPECT_EQ(tookLines, 2);
    EXPECT_TRUE(result.standardOutput.indexOf("took:") < result.standardOutput.indexOf("ai:"));
}

TEST_F(TranscribeCommand, ALongFileIsTranscribedToItsEnd)
{
    // A minute of speech takes the recogniser longer than a live take's finishing allowance to decode.
    const QString paused = home.filePath(u"paused.wav"_s);
    const QString minute = home.filePath(u"minute.wav"_s);
    ASSERT_TRUE(tool(u"sox"_s, {file(u"speech-16k-mono.wav"_s), paused, u"pad"_s, u"0"_s, u"0.6"_s}));
    ASSERT_TRUE(tool(u"sox"_s, {paused, minute, u"repeat"_s, u"24"_s}));
    const QStringList lines = transcribe({minute});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_GE(lines[0].count(u"nice"_s), 24) << lines[0].toStdString();
}

TEST_F(TranscribeCommand, UnreadableFilesNameTheFileAndTheReason)
{
    expectFailure(file(u"missing.wav"_s), u"System error : No such file or directory."_s);

    QFile text(home.filePath(u"notes.wav"_s));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("These are notes, not audio.\n");
    text.close();
    expectFailure(text.fileName(), u"Format not recognised."_s);

    // A header and no audio at all: the file is to blame, not the microphone.
    const QString empty = home.filePath(u"empty.wav"_s);
    ASSERT_TRUE(tool(u"sox"_s, {file(u"speech-16k-mono.wav"_s), empty, u"trim"_s, u"0"_s, u"0"_s}));
    expectFailure(empty, u"the file holds no audio"_s);
}

} // namespace
} // namespace sayloom
