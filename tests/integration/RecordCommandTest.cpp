#include "cli/SayloomProcess.h"
#include "integration/support/AudioSignals.h"
#include "integration/support/ChildProcess.h"
#include "integration/support/PulseServer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>
#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

// Every wait on the process ends by this long at the latest; the recorder and the model load are slow when the
// machine is busy.
constexpr auto patience = std::chrono::seconds(60);

// A desktop whose default input is a Bluetooth headset, with a built-in microphone beside it.
class RecordCommand : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        QString error;
        ASSERT_TRUE(server.start(&error)) << error.toStdString();
        // The executable inherits this process's environment.
        server.useInThisProcess();
        const auto builtIn = server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s,
                                                  {{u"device.form_factor"_s, u"internal"_s}});
        ASSERT_TRUE(builtIn);
        microphone = *builtIn;
        ASSERT_TRUE(server.addMicrophone(u"headset"_s, u"Headset"_s, {{u"device.bus"_s, u"bluetooth"_s}}));
        ASSERT_TRUE(server.setDefaultSource(u"headset"_s));
    }

    void storeMicrophone(const QByteArray& value)
    {
        ASSERT_TRUE(QDir().mkpath(home.filePath(u"config/Sayloom"_s)));
        QFile settings(home.filePath(u"config/Sayloom/Sayloom.conf"_s));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nmicrophone=" + value + "\n");
    }

    QTemporaryDir home;
    PulseServer server;
    PulseServer::Microphone microphone;
};

TEST_F(RecordCommand, HearsWhatIsSaidIntoTheAutomaticMicrophone)
{
    const std::vector<float> sentence = AudioSignals::spokenSentence(u"the weather is nice today"_s, home.path());
    ASSERT_GT(sentence.size(), 16000u);

    QProcess process;
    SayloomProcess::start(process, {u"--record"_s, u"6"_s}, home.path());
    QByteArray output;
    const QByteArray recording = "recording 6.0s \u2014 speak now\u2026\n"_ba;
    ASSERT_TRUE(waitUntil([&] { return (output += process.readAllStandardOutput()).contains(recording); }, patience))
            << output.toStdString() << process.readAllStandardError().toStdString();
    // Speak once the command says so; the write takes as long as the source takes to read it.
    EXPECT_TRUE(FifoFeeder(microphone.fifo).write(sentence));
    const SayloomProcess::Result result = SayloomProcess::finish(process);
    output += result.standardOutput;
    ASSERT_TRUE(result.exitedNormally);
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();

    const QStringList lines = QString::fromUtf8(output).split(u'\n');
    ASSERT_EQ(lines.size(), 9) << output.toStdString();
    // The Bluetooth default gives way to the built-in microphone.
    EXPECT_EQ(lines[0], u"devices:  [\"Built-in Microphone\", \"Headset (BT)\"]"_s);
    EXPECT_EQ(lines[1], u"mic:      Built-in Microphone"_s);
    EXPECT_EQ(lines[2], u"format:   16000 Hz, 1 ch, float32, non-interleaved"_s);
    EXPECT_EQ(lines[3] + u'\n', QString::fromUtf8(recording));
    const QRegularExpression peak(u"^peak:     (0\\.\\d+|1\\.0)$"_s);
    const QRegularExpressionMatch peakMatch = peak.match(lines[4]);
    ASSERT_TRUE(peakMatch.hasMatch()) << lines[4].toStdString();
    // flite speaks at a healthy level: far above the -50 dBFS floor.
    EXPECT_GT(peakMatch.captured(1).toDouble(), 0.5);
    EXPECT_TRUE(QRegularExpression(u"^startup:  \\d+\\.\\d{6} seconds to first audio$"_s).match(lines[5]).hasMatch())
            << lines[5].toStdString();
    ASSERT_TRUE(lines[6].startsWith(u"raw:      "_s)) << lines[6].toStdString();
    int heard = 0;
    for (const QString& word : {u"weather"_s, u"nice"_s, u"today"_s}) {
        heard += lines[6].toLower().split(u' ').contains(word) ? 1 : 0;
    }
    EXPECT_GE(heard, 2) << lines[6].toStdString();
    EXPECT_TRUE(QRegularExpression(u"^took:     \\d+\\.\\d{6} seconds after release$"_s).match(lines[7]).hasMatch())
            << lines[7].toStdString();
    EXPECT_EQ(lines[8], QString());
}

// The stored choice counts; a length that is no positive number ends the take at once instead of never.
TEST_F(RecordCommand, TakesTheStoredMicrophoneAndEndsAtOnceWhenTheLengthIsNotPositive)
{
    storeMicrophone("system");
    for (const QString& seconds : {u"-1"_s, u"nan"_s}) {
        SCOPED_TRACE(seconds.toStdString());
        const SayloomProcess::Result result = SayloomProcess::run({u"--record"_s, seconds}, home.path());
        ASSERT_TRUE(result.exitedNormally);
        const QStringList lines = QString::fromUtf8(result.standardOutput).split(u'\n');
        ASSERT_GE(lines.size(), 4) << result.standardOutput.toStdString() << result.standardError.toStdString();
        EXPECT_EQ(lines[1], u"mic:      Headset"_s);
        EXPECT_EQ(lines[3], u"recording " + (seconds == u"nan" ? u"nan"_s : u"-1.0"_s) + u"s \u2014 speak now\u2026");
        // Nothing was said: either a transcript of silence or the engine's complaint that no audio came.
        if (result.exitCode != 0) {
            EXPECT_TRUE(result.standardError.contains("error: ")) << result.standardError.toStdString();
        }
    }
}

} // namespace
