#include "desktop/CanberraSounds.h"

#include "desktop/DataFiles.h"
#include "integration/support/PulseServer.h"

#include <QFile>
#include <QThread>
#include <QtEndian>

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

TEST(CanberraSounds, TheCuesAreShortMonoWavFiles)
{
    for (const char* name : {"cue-begin.wav", "cue-end.wav"}) {
        QFile file(DataFiles::find(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the build tree has no " << name;
        const QByteArray wav = file.readAll();
        // A plain 44-byte header: 16-bit PCM, one channel, then 80 to 150 ms of samples.
        ASSERT_TRUE(wav.size() < 16 * 1024 && wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ");
        EXPECT_EQ(wav.mid(20, 4), QByteArray::fromHex("01000100"));
        EXPECT_EQ(wav.mid(34, 6), QByteArray("\x10\0"
                                             "data",
                                             6));
        const double milliseconds = 1000.0 * (wav.size() - 44) / 2 / qFromLittleEndian<quint32>(wav.constData() + 24);
        EXPECT_TRUE(milliseconds >= 80 && milliseconds <= 150) << name << ": " << milliseconds << " ms";
    }
}

TEST(CanberraSounds, VolumeBecomesDecibelsAndSilenceIsNotPlayed)
{
    EXPECT_EQ(CanberraSounds::decibels(0.25f), QStringLiteral("-12.04"));
    EXPECT_EQ(CanberraSounds::decibels(4.0f), QStringLiteral("0.00")) << "never louder than the file";
    EXPECT_FALSE(CanberraSounds::decibels(0.0f) || CanberraSounds::decibels(-1.0f) ||
                 CanberraSounds::decibels(std::nanf("")));
}

// Without a sound server, or with one that hangs, playing and closing return at once: a hang would run into the
// test's time limit, a crash would end it.
TEST(CanberraSounds, ACuePlaysOnTheSoundServerAndNoServerOrAHungOneHoldsNobodyUp)
{
    // An address that names a server also keeps libpulse from starting one of its own.
    qputenv("PULSE_SERVER", "unix:/nonexistent/sayloom-test/native");
    CanberraSounds silent;
    silent.play(Sounds::Cue::end, 0.25f);
    QThread::msleep(300); // for the thread to try the server that is not there

    PulseServer server;
    ASSERT_TRUE(server.start() && server.pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink")}));
    server.useInThisProcess();
    CanberraSounds sounds;
    sounds.play(Sounds::Cue::begin, 0.25f);
    // The cue is a playback stream on the server for as long as it sounds.
    QString streams;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         streams.trimmed().isEmpty() && std::chrono::steady_clock::now() < until;) {
        server.pactl(QStringLiteral("list short sink-inputs").split(u' '), &streams);
    }
    EXPECT_FALSE(streams.trimmed().isEmpty());

    server.freeze();
    sounds.play(Sounds::Cue::end, 0.25f);
}

} // namespace
} // namespace sayloom
