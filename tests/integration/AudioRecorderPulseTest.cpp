#include "AudioDevices.h"
#include "AudioRecorder.h"
#include "AudioSignals.h"
#include "PulseTestSupport.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace sayloom;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Every wait of these tests ends by this long at the latest.
constexpr auto patience = 5s;

// The audio library's log lines, gathered while an instance lives.
class LogCapture final {
public:
    LogCapture()
    {
        {
            const QMutexLocker lock(&s_mutex);
            s_lines.clear();
        }
        s_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() { qInstallMessageHandler(s_previous); }

    bool contains(const QString& text) const
    {
        const QMutexLocker lock(&s_mutex);
        return std::ranges::any_of(s_lines, [&](const QString& line) { return line.contains(text); });
    }
    QString all() const
    {
        const QMutexLocker lock(&s_mutex);
        return s_lines.join(u'\n');
    }

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        if (QLatin1StringView(context.category) != "app.sayloom.audio"_L1) {
            return;
        }
        const QMutexLocker lock(&s_mutex);
        s_lines << message;
    }

    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

struct Collected {
    std::vector<AudioBufferPtr> buffers;
    std::vector<float> samples;
};

// Reads chunks until `frames` frames have come, the stream ends or patience runs out.
Collected collect(AudioStream& stream, std::size_t frames)
{
    Collected collected;
    const auto deadline = Clock::now() + patience;
    while (collected.samples.size() < frames) {
        std::optional<AudioChunk> chunk = stream.next({}, deadline);
        if (!chunk) {
            break;
        }
        const auto samples = chunk->buffer->floatSamples();
        collected.samples.insert(collected.samples.end(), samples.begin(), samples.end());
        collected.buffers.push_back(std::move(chunk->buffer));
    }
    return collected;
}

// Where `signal` starts inside `recorded`, sample for sample; nothing when it is not there whole.
std::optional<std::size_t> find(const std::vector<float>& recorded, const std::vector<float>& signal)
{
    if (signal.empty() || recorded.size() < signal.size()) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at + signal.size() <= recorded.size(); ++at) {
        if (std::equal(signal.begin(), signal.end(), recorded.begin() + std::ptrdiff_t(at),
                       [](float a, float b) { return std::abs(a - b) <= 1e-6f; })) {
            return at;
        }
    }
    return std::nullopt;
}

AudioRecorder::Recording started(AudioRecorder& recorder, const std::optional<AudioInputDevice>& device)
{
    auto result = recorder.start(device);
    if (auto* error = std::get_if<AudioRecorderError>(&result)) {
        ADD_FAILURE() << "start failed: " << error->description().toStdString();
        auto [stream, continuation] = AudioStream::make();
        return {std::move(stream), AudioRecorder::format};
    }
    return std::move(std::get<AudioRecorder::Recording>(result));
}

AudioInputDevice deviceNamed(const QString& uid)
{
    for (const AudioInputDevice& device : AudioDevices::inputDevices()) {
        if (device.uid == uid) {
            return device;
        }
    }
    ADD_FAILURE() << "no device " << uid.toStdString();
    return {};
}

// Writes on a thread of its own, so the test can read the recorder meanwhile.
std::jthread feed(const PulseServer::Microphone& microphone, std::vector<float> samples)
{
    return std::jthread([fifo = microphone.fifo, samples = std::move(samples)] {
        FifoFeeder feeder(fifo);
        EXPECT_TRUE(feeder.write(samples)) << "cannot write into " << fifo.toStdString();
    });
}

class AudioRecorderPulse : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startServer(m_server));
        auto builtIn = m_server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s,
                                              {{u"device.form_factor"_s, u"internal"_s}});
        auto usb = m_server.addMicrophone(u"usb"_s, u"USB Microphone"_s, {{u"device.bus"_s, u"usb"_s}});
        ASSERT_TRUE(builtIn && usb);
        m_builtIn = *builtIn;
        m_usb = *usb;
        ASSERT_TRUE(m_server.setDefaultSource(u"builtin"_s));
    }

    PulseServer m_server;
    PulseServer::Microphone m_builtIn;
    PulseServer::Microphone m_usb;
};

TEST_F(AudioRecorderPulse, SpeechComesOutAsItWentIn)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, deviceNamed(u"builtin"_s));
    EXPECT_EQ(recording.format, (AudioFormat{16000, 1, SampleType::float32, false}));
    EXPECT_TRUE(log.contains(u"Recording from Built-in Microphone"_s)) << log.all().toStdString();

    const std::vector<float> speech = AudioSignals::speechLike(16000, 2 * 16000);
    const std::jthread writer = feed(m_builtIn, speech);
    const Collected collected = collect(recording.stream, speech.size());
    recorder.stop();

    ASSERT_FALSE(collected.buffers.empty());
    for (const AudioBufferPtr& buffer : collected.buffers) {
        EXPECT_EQ(buffer->format(), AudioRecorder::format);
        EXPECT_GT(buffer->frameLength(), 0u);
    }
    EXPECT_EQ(find(collected.samples, speech), 0u) << "recorded " << collected.samples.size() << " samples";
}

TEST_F(AudioRecorderPulse, TheServerConvertsAnyMicrophoneToTheRequestedFormat)
{
    auto studio = m_server.addMicrophone(u"studio"_s, u"Studio Interface"_s, {{u"device.bus"_s, u"usb"_s}}, u"s16le"_s,
                                         48000, 2);
    ASSERT_TRUE(studio);
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, deviceNamed(u"studio"_s));

    // A little more than is read: the server's resampler holds back a few frames.
    const std::size_t seconds = 1;
    const auto stereo =
            AudioSignals::toInt16(AudioSignals::interleavedSines({440.0, 440.0}, 48000, seconds * 48000 + 4800));
    std::jthread writer([&] {
        FifoFeeder feeder(studio->fifo);
        EXPECT_TRUE(feeder.write(stereo));
    });
    const Collected collected = collect(recording.stream, seconds * 16000);
    recorder.stop();

    for (const AudioBufferPtr& buffer : collected.buffers) {
        EXPECT_EQ(buffer->format(), AudioRecorder::format);
    }
    ASSERT_GE(collected.samples.size(), seconds * 16000);
    // The server's resampler starts with a short ramp; the tone after it keeps its pitch and loudness.
    const std::size_t settled = 800;
    EXPECT_NEAR(AudioSignals::toneAmplitude(collected.samples, 440.0, 16000, settled), 0.5, 0.05);
    const double crossingsPerSecond = AudioSignals::risingZeroCrossings(collected.samples, settled) * 16000.0 /
                                      double(collected.samples.size() - settled);
    EXPECT_NEAR(crossingsPerSecond, 440.0, 3.0);
}

TEST_F(AudioRecorderPulse, EveryBufferGetsItsLevelBeforeItsChunk)
{
    AudioRecorder recorder;
    std::mutex mutex;
    std::vector<float> levels;
    recorder.setOnLevel([&](float level) {
        const std::lock_guard lock(mutex);
        levels.push_back(level);
    });
    AudioRecorder::Recording recording = started(recorder, deviceNamed(u"builtin"_s));

    // Half a second each of silence, a full-scale square wave and a square wave of rms 0.01.
    std::vector<float> signal(8000, 0.0f);
    for (const float amplitude : {1.0f, 0.01f}) {
        const auto square = AudioSignals::square(100.0, 16000, 8000, amplitude);
        signal.insert(signal.end(), square.begin(), square.end());
    }
    const std::jthread writer = feed(m_builtIn, signal);
    const Collected collected = collect(recording.stream, signal.size());
    recorder.stop();

    const std::lock_guard lock(mutex);
    ASSERT_GE(levels.size(), collected.buffers.size());
    int silent = 0;
    int full = 0;
    int quiet = 0;
    for (std::size_t i = 0; i < collected.buffers.size(); ++i) {
        const auto samples = collected.buffers[i]->floatSamples();
        const auto all = [&](float magnitude) {
            return std::ranges::all_of(samples, [&](float sample) { return std::abs(sample) == magnitude; });
        };
        if (all(0.0f)) {
            EXPECT_EQ(levels[i], 0.0f) << "silent buffer " << i;
            ++silent;
        } else if (all(1.0f)) {
            EXPECT_FLOAT_EQ(levels[i], 1.0f) << "full-scale buffer " << i;
            ++full;
        } else if (all(0.01f)) {
            EXPECT_NEAR(levels[i], 0.2f, 1e-4f) << "quiet buffer " << i;
            ++quiet;
        }
    }
    EXPECT_GT(silent, 0);
    EXPECT_GT(full, 0);
    EXPECT_GT(quiet, 0);
}

TEST_F(AudioRecorderPulse, StopIsHarmlessWhenIdleAndRepeated)
{
    AudioRecorder recorder;
    recorder.stop();
    recorder.stop();

    AudioRecorder::Recording recording = started(recorder, std::nullopt);
    recorder.stop();
    recorder.stop();
    EXPECT_EQ(recording.stream.next({}, Clock::now() + patience), std::nullopt);
    EXPECT_TRUE(recording.stream.atEnd());
}

TEST_F(AudioRecorderPulse, SecondStartFinishesTheFirstTake)
{
    AudioRecorder recorder;
    AudioRecorder::Recording first = started(recorder, deviceNamed(u"builtin"_s));
    const std::vector<float> before = AudioSignals::noise(4000, 0.3f, 1);
    {
        const std::jthread writer = feed(m_builtIn, before);
        EXPECT_EQ(find(collect(first.stream, before.size()).samples, before), 0u);
    }

    AudioRecorder::Recording second = started(recorder, deviceNamed(u"usb"_s));
    // The first stream ends right away, and only the second hears what follows.
    EXPECT_EQ(first.stream.next({}, Clock::now() + patience), std::nullopt);
    EXPECT_TRUE(first.stream.atEnd());
    const std::vector<float> after = AudioSignals::noise(4000, 0.3f, 2);
    const std::jthread writer = feed(m_usb, after);
    EXPECT_EQ(find(collect(second.stream, after.size()).samples, after), 0u);
    recorder.stop();
}

TEST_F(AudioRecorderPulse, ADeviceGoneSinceResolvingFallsBackToTheDefault)
{
    const LogCapture log;
    const std::optional<AudioInputDevice> resolved = AudioDevices::resolve(MicrophonePreference::device(u"usb"_s));
    ASSERT_TRUE(resolved);
    ASSERT_EQ(resolved->uid, u"usb"_s);
    ASSERT_TRUE(m_server.unloadModule(m_usb.module));

    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, resolved);
    EXPECT_TRUE(log.contains(u"Recording from Built-in Microphone"_s)) << log.all().toStdString();
    const std::vector<float> signal = AudioSignals::noise(4000, 0.3f, 3);
    const std::jthread writer = feed(m_builtIn, signal);
    EXPECT_EQ(find(collect(recording.stream, signal.size()).samples, signal), 0u);
}

TEST_F(AudioRecorderPulse, AMicrophoneUnpluggedMidTakeHandsTheTakeToTheDefault)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, deviceNamed(u"usb"_s));
    const std::vector<float> before = AudioSignals::noise(1600, 0.3f, 5);
    {
        const std::jthread writer = feed(m_usb, before);
        EXPECT_EQ(find(collect(recording.stream, before.size()).samples, before), 0u);
    }
    ASSERT_TRUE(m_server.unloadModule(m_usb.module));
    // What the built-in microphone hears while the server moves the take across may be lost, so it keeps
    // talking, and the end of what comes out must be its voice.
    const std::vector<float> period = AudioSignals::noise(160, 0.3f, 6);
    FifoFeeder feeder(m_builtIn.fifo);
    feeder.feedInRealTime(period, 16000, 160);
    const Collected after = collect(recording.stream, 3200);
    ASSERT_GE(after.samples.size(), 3200u);
    EXPECT_TRUE(std::all_of(after.samples.end() - 1600, after.samples.end(),
                            [&](float sample) { return std::ranges::find(period, sample) != period.end(); }));
    EXPECT_TRUE(log.contains(u"Recording moved to builtin"_s)) << log.all().toStdString();
}

TEST_F(AudioRecorderPulse, NoDeviceMeansTheServersDefault)
{
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    // A device without a uid names nothing either.
    for (const auto& device : {std::optional<AudioInputDevice>(), std::optional(AudioInputDevice{})}) {
        const LogCapture log;
        AudioRecorder recorder;
        AudioRecorder::Recording recording = started(recorder, device);
        EXPECT_TRUE(log.contains(u"Recording from USB Microphone"_s)) << log.all().toStdString();
        const std::vector<float> signal = AudioSignals::noise(4000, 0.3f, 4);
        const std::jthread writer = feed(m_usb, signal);
        EXPECT_EQ(find(collect(recording.stream, signal.size()).samples, signal), 0u);
    }
}

TEST_F(AudioRecorderPulse, ServerGoingAwayEndsTheTake)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, deviceNamed(u"builtin"_s));
    {
        FifoFeeder feeder(m_builtIn.fifo);
        feeder.feedInRealTime(AudioSignals::sine(440.0, 16000, 160), 16000, 160);
        ASSERT_TRUE(recording.stream.next({}, Clock::now() + patience)) << "no audio before the server went away";
        m_server.kill();
    }

    const auto deadline = Clock::now() + patience;
    while (recording.stream.next({}, deadline)) {
    }
    EXPECT_TRUE(recording.stream.atEnd()) << "the stream should end, not time out";
    EXPECT_TRUE(log.contains(u"Recording from Built-in Microphone ended"_s)) << log.all().toStdString();

    recorder.stop();
    const auto restarted = recorder.start(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(restarted));
    EXPECT_EQ(std::get<AudioRecorderError>(restarted).kind(), AudioRecorderError::Kind::soundServer);
}

TEST(AudioRecorderWithoutMicrophone, FailsWithNoMicrophone)
{
    PulseServer server;
    ASSERT_NO_FATAL_FAILURE(startServer(server));
    AudioRecorder recorder;
    const AudioInputDevice unplugged{7, u"unplugged"_s, u"Unplugged"_s, Transport::usb};

    // Nothing at all, then only the monitor of an output.
    for (const bool withSpeakers : {false, true}) {
        if (withSpeakers) {
            ASSERT_TRUE(server.addSink(u"speakers"_s));
        }
        for (const auto& device : {std::optional<AudioInputDevice>(), std::optional(unplugged)}) {
            const auto result = recorder.start(device);
            ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(result));
            EXPECT_EQ(std::get<AudioRecorderError>(result), AudioRecorderError::noMicrophone());
            EXPECT_EQ(std::get<AudioRecorderError>(result).description(), u"No microphone found"_s);
        }
    }
}

TEST(AudioRecorderUnreachable, ReportsTheServersOwnError)
{
    PulseServer server;
    ASSERT_NO_FATAL_FAILURE(startServer(server));
    server.stop();

    AudioRecorder recorder;
    const auto result = recorder.start(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(result));
    EXPECT_EQ(std::get<AudioRecorderError>(result), AudioRecorderError::soundServer(u"Connection refused"_s));
    recorder.stop();
}

TEST(AudioRecorderSilentServer, GivesUpAfterTwoSeconds)
{
    const SilentServer server;
    ASSERT_TRUE(server.isListening());
    AudioRecorder recorder;
    QElapsedTimer timer;
    timer.start();
    const auto result = recorder.start(std::nullopt);
    EXPECT_GE(timer.elapsed(), 2000 - 50);
    EXPECT_LT(timer.elapsed(), 2000 + 2000) << "a hang would run into the test's own timeout instead";
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(result));
    EXPECT_EQ(std::get<AudioRecorderError>(result), AudioRecorderError::soundServer(u"Timeout"_s));
}

} // namespace
