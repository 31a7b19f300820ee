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

using namespace std::chrono_literals;

TEST(CanberraSounds, TheCuesAreShortSoftMonoWavFilesThatStartAndEndInSilence)
{
    for (const QString& name : {QStringLiteral("cue-begin.wav"), QStringLiteral("cue-end.wav")}) {
        SCOPED_TRACE(name.toStdString());
        QFile file(DataFiles::find(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the build tree has no " << name.toStdString();
        const QByteArray bytes = file.readAll();
        EXPECT_LT(bytes.size(), 16 * 1024);
        ASSERT_TRUE(bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE");
        // Walk the chunks to the format and the samples.
        quint16 format = 0, channels = 0, bits = 0;
        quint32 rate = 0;
        QByteArray samples;
        for (qsizetype at = 12; at + 8 <= bytes.size();) {
            const QByteArray id = bytes.mid(at, 4);
            const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
            const char* body = bytes.constData() + at + 8;
            if (id == "fmt " && size >= 16) {
                format = qFromLittleEndian<quint16>(body);
                channels = qFromLittleEndian<quint16>(body + 2);
                rate = qFromLittleEndian<quint32>(body + 4);
                bits = qFromLittleEndian<quint16>(body + 14);
            } else if (id == "data") {
                samples = bytes.mid(at + 8, size);
            }
            at += 8 + size + (size & 1);
        }
        EXPECT_EQ(format, 1);
        EXPECT_EQ(channels, 1);
        EXPECT_EQ(bits, 16);
        ASSERT_GT(rate, 0u);
        const qsizetype frames = samples.size() / 2;
        const double milliseconds = 1000.0 * double(frames) / rate;
        EXPECT_GE(milliseconds, 80);
        EXPECT_LE(milliseconds, 150);
        ASSERT_GT(frames, 2);
        // A cue that starts or stops away from zero clicks; one at full scale startles.
        const auto sample = [&](qsizetype i) { return qFromLittleEndian<qint16>(samples.constData() + 2 * i); };
        int peak = 0;
        for (qsizetype i = 0; i < frames; ++i) {
            peak = std::max(peak, std::abs(int(sample(i))));
        }
        EXPECT_LT(std::abs(sample(0)), 330);
        EXPECT_LT(std::abs(sample(frames - 1)), 330);
        EXPECT_LT(peak, 0.7 * 32767);
        EXPECT_GT(peak, 0.1 * 32767);
    }
}

TEST(CanberraSounds, VolumeBecomesDecibelsAndSilenceIsNotPlayed)
{
    EXPECT_EQ(CanberraSounds::decibels(0.25f), QStringLiteral("-12.04"));
    EXPECT_EQ(CanberraSounds::decibels(0.5f), QStringLiteral("-6.02"));
    EXPECT_EQ(CanberraSounds::decibels(1.0f), QStringLiteral("0.00"));
    EXPECT_EQ(CanberraSounds::decibels(4.0f), QStringLiteral("0.00")) << "never louder than the file";
    EXPECT_EQ(CanberraSounds::decibels(0.0f), std::nullopt);
    EXPECT_EQ(CanberraSounds::decibels(-1.0f), std::nullopt);
    EXPECT_EQ(CanberraSounds::decibels(std::nanf("")), std::nullopt);
}

// Nothing to check but that it returns: a hang would run into the test's time limit, a crash would end it.
TEST(CanberraSounds, WithoutASoundServerOrFilesNothingPlays)
{
    // An address that names a server also keeps libpulse from starting one of its own.
    qputenv("PULSE_SERVER", "unix:/nonexistent/sayloom-test/native");
    {
        CanberraSounds sounds;
        for (int i = 0; i < 5; ++i) {
            sounds.play(Sounds::Cue::begin, 0.25f);
            sounds.play(Sounds::Cue::end, 0.25f);
        }
        QThread::msleep(200);
        sounds.play(Sounds::Cue::end, 0.25f);
    }
    CanberraSounds missing(QStringLiteral("/nonexistent/begin.wav"), QStringLiteral("/nonexistent/end.wav"));
    missing.play(Sounds::Cue::begin, 0.25f);
    CanberraSounds neverPlayed;
}

TEST(CanberraSounds, ACuePlaysOnTheSoundServerAndAHungServerHoldsNobodyUp)
{
    PulseServer server;
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    ASSERT_TRUE(server.pactl(
            {QStringLiteral("load-module"), QStringLiteral("module-null-sink"), QStringLiteral("sink_name=speakers")}));
    server.useInThisProcess();

    auto sounds = std::make_unique<CanberraSounds>();
    sounds->play(Sounds::Cue::begin, 0.25f);
    // The cue is a playback stream on the server for as long as it sounds.
    bool heard = false;
    for (auto until = std::chrono::steady_clock::now() + 5s; !heard && std::chrono::steady_clock::now() < until;) {
        QString streams;
        heard = server.pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")},
                             &streams) &&
                !streams.trimmed().isEmpty();
    }
    EXPECT_TRUE(heard);

    server.freeze();
    sounds->play(Sounds::Cue::end, 0.25f);
    sounds->play(Sounds::Cue::begin, 0.25f);
    sounds.reset();
}

} // namespace
} // namespace sayloom
