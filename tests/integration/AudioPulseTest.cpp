#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "integration/support/AudioSignals.h"
#include "integration/support/PulseServer.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

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
        const QMutexLocker lock(&s_mutex);
        s_lines.clear();
        s_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& line) {
            if (QLatin1StringView(context.category) == "app.sayloom.audio"_L1) {
                const QMutexLocker locked(&s_mutex);
                s_lines << line;
            }
        });
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() { qInstallMessageHandler(s_previous); }

    testing::AssertionResult has(const QString& text) const
    {
        const QMutexLocker lock(&s_mutex);
        if (std::ranges::any_of(s_lines, [&](const QString& line) { return line.contains(text); })) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "no \"" << text.toStdString() << "\" in:\n"
                                           << s_lines.join(u'\n').toStdString();
    }

private:
    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

// "id uid 'transport' name", or "none"; what a failing comparison of devices shows.
std::string describe(const std::optional<AudioInputDevice>& device)
{
    return device ? QStringLiteral("%1 %2 '%3' %4")
                            .arg(QString::number(device->id), device->uid, Transport::text(device->transport),
                                 device->name)
                            .toStdString()
                  : "none";
}

std::optional<AudioInputDevice> listed(const QString& uid)
{
    const QList<AudioInputDevice> devices = AudioDevices::inputDevices();
    const auto found = std::ranges::find(devices, uid, &AudioInputDevice::uid);
    return found == devices.end() ? std::nullopt : std::optional(*found);
}

void startServer(PulseServer& server)
{
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    server.useInThisProcess();
}

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

// True when `recorded` starts with `signal`, sample for sample.
testing::AssertionResult startsWith(const std::vector<float>& recorded, const std::vector<float>& signal)
{
    if (recorded.size() >= signal.size() && std::equal(signal.begin(), signal.end(), recorded.begin(),
                                                       [](float a, float b) { return std::abs(a - b) <= 1e-6f; })) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "recorded " << recorded.size() << " samples, not the " << signal.size()
                                       << " fed in";
}

AudioRecorder::Recording started(AudioRecorder& recorder, const std::optional<AudioInputDevice>& device)
{
    auto result = recorder.start(device);
    if (auto* error = std::get_if<AudioRecorderError>(&result)) {
        ADD_FAILURE() << "start failed: " << error->description().toStdString();
        return {AudioStream::make().first, AudioRecorder::format};
    }
    return std::move(std::get<AudioRecorder::Recording>(result));
}

// Writes on a thread of its own, so the test can read the recorder meanwhile.
std::jthread feed(const PulseServer::Microphone& microphone, std::vector<float> samples)
{
    return std::jthread([fifo = microphone.fifo, samples = std::move(samples)] {
        EXPECT_TRUE(FifoFeeder(fifo).write(samples)) << "cannot write into " << fifo.toStdString();
    });
}

// A desktop with a built-in microphone (the first source, index 0), speakers (whose monitor is a source but no
// microphone), a USB microphone, a classic Bluetooth headset, LE-audio earbuds and a second built-in input.
class AudioPulse : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startServer(m_server));
        const QString internal = u"device.form_factor"_s;
        const QString bus = u"device.bus"_s;
        const auto builtIn = m_server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s,
                                                    {{bus, u"pci"_s}, {internal, u"internal"_s}});
        ASSERT_TRUE(builtIn && m_server.addSink(u"speakers"_s));
        const auto usb = m_server.addMicrophone(u"usb"_s, u"USB Microphone"_s, {{bus, u"usb"_s}});
        ASSERT_TRUE(usb);
        ASSERT_TRUE(m_server.addMicrophone(u"headset"_s, u"Headset"_s,
                                           {{bus, u"bluetooth"_s}, {u"bluetooth.protocol"_s, u"headset_head_unit"_s}}));
        ASSERT_TRUE(m_server.addMicrophone(u"earbuds"_s, u"LE Earbuds"_s,
                                           {{bus, u"bluetooth"_s}, {u"api.bluez5.profile"_s, u"bap-duplex"_s}}));
        const auto lineIn = m_server.addMicrophone(u"linein"_s, u"Line In"_s, {{internal, u"internal"_s}});
        ASSERT_TRUE(lineIn);
        ASSERT_TRUE(m_server.setDefaultSource(u"builtin"_s));
        m_builtIn = *builtIn;
        m_usb = *usb;
        m_lineIn = *lineIn;
    }

    PulseServer m_server;
    PulseServer::Microphone m_builtIn;
    PulseServer::Microphone m_usb;
    PulseServer::Microphone m_lineIn;
};

TEST_F(AudioPulse, ListsMicrophonesInServerOrderWithTheirTransportsAndTheDefault)
{
    std::vector<std::string> devices;
    for (const AudioInputDevice& device : AudioDevices::inputDevices()) {
        devices.push_back(describe(device));
    }
    // Ids are the server's source indices; the speakers' monitor holds 1 and is left out.
    EXPECT_EQ(devices, (std::vector<std::string>{"0 builtin 'bltn' Built-in Microphone", "2 usb 'usb ' USB Microphone",
                                                 "3 headset 'blue' Headset", "4 earbuds 'blea' LE Earbuds",
                                                 "5 linein 'bltn' Line In"}));
    QString sources;
    ASSERT_TRUE(m_server.pactl({u"list"_s, u"short"_s, u"sources"_s}, &sources));
    EXPECT_TRUE(sources.contains(u"1\tspeakers.monitor"_s)) << sources.toStdString();

    EXPECT_EQ(AudioDevices::defaultInputID(), 0u) << "source index 0 is a real source";
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    EXPECT_EQ(AudioDevices::defaultInputID(), 2u);
    ASSERT_TRUE(m_server.setDefaultSource(u"speakers.monitor"_s));
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt) << "a monitor is no default input";
}

TEST_F(AudioPulse, ResolveChoosesTheDeviceOfTheRules)
{
    const MicrophonePreference automatic = MicrophonePreference::automatic();
    const MicrophonePreference system = MicrophonePreference::systemDefault();
    const MicrophonePreference unplugged = MicrophonePreference::device(u"unplugged"_s);
    const QString monitor = u"speakers.monitor"_s;
    const struct {
        QString defaultSource;
        MicrophonePreference preference;
        QString expected; // empty: none
    } cases[] = {
            {u"headset"_s, automatic, u"builtin"_s}, // the first built-in, not the line in
            {u"earbuds"_s, automatic, u"builtin"_s},
            {u"headset"_s, system, u"headset"_s},
            {u"usb"_s, automatic, u"usb"_s},
            {u"builtin"_s, system, u"builtin"_s},
            {u"usb"_s, MicrophonePreference::device(u"headset"_s), u"headset"_s},
            {monitor, MicrophonePreference::device(u"usb"_s), u"usb"_s},
            {u"headset"_s, unplugged, u"builtin"_s},
            {u"usb"_s, unplugged, u"usb"_s},
            {u"headset"_s, MicrophonePreference::device(u"USB"_s), u"builtin"_s}, // uids compare exactly
            {monitor, automatic, {}},
            {monitor, system, {}},
            {monitor, unplugged, {}},
    };
    for (const auto& [defaultSource, preference, expected] : cases) {
        ASSERT_TRUE(m_server.setDefaultSource(defaultSource));
        EXPECT_EQ(describe(AudioDevices::resolve(preference)), describe(listed(expected)))
                << preference.storedValue().toStdString() << " with " << defaultSource.toStdString() << " as default";
    }

    // Without a built-in microphone, automatic keeps a Bluetooth default.
    ASSERT_TRUE(m_server.unloadModule(m_builtIn.module) && m_server.unloadModule(m_lineIn.module));
    ASSERT_TRUE(m_server.setDefaultSource(u"earbuds"_s));
    EXPECT_EQ(describe(AudioDevices::resolve(automatic)), "4 earbuds 'blea' LE Earbuds");
}

TEST_F(AudioPulse, SpeechComesOutAsItWentIn)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, listed(u"builtin"_s));
    EXPECT_EQ(recording.format, (AudioFormat{16000, 1, SampleType::float32, false}));
    EXPECT_TRUE(log.has(u"Recording from Built-in Microphone"_s));

    const std::vector<float> speech = AudioSignals::speechLike(16000, 2 * 16000);
    const std::jthread writer = feed(m_builtIn, speech);
    const Collected collected = collect(recording.stream, speech.size());
    recorder.stop();
    ASSERT_FALSE(collected.buffers.empty());
    for (const AudioBufferPtr& buffer : collected.buffers) {
        EXPECT_EQ(buffer->format(), AudioRecorder::format);
        EXPECT_GT(buffer->frameLength(), 0u);
    }
    EXPECT_TRUE(startsWith(collected.samples, speech));
}

TEST_F(AudioPulse, TheServerConvertsAnyMicrophoneToTheRequestedFormat)
{
    const auto studio = m_server.addMicrophone(u"studio"_s, u"Studio Interface"_s, {}, 48000, 2);
    ASSERT_TRUE(studio);
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, listed(u"studio"_s));
    // A little more than is read, in both channels: the server's resampler holds back a few frames.
    std::vector<float> stereo;
    for (const float sample : AudioSignals::sine(440.0, 48000, 48000 + 4800)) {
        stereo.insert(stereo.end(), {sample, sample});
    }
    const std::jthread writer = feed(*studio, std::move(stereo));
    const Collected collected = collect(recording.stream, 16000);
    recorder.stop();

    for (const AudioBufferPtr& buffer : collected.buffers) {
        EXPECT_EQ(buffer->format(), AudioRecorder::format);
    }
    ASSERT_GE(collected.samples.size(), 16000u);
    // The server's resampler starts with a short ramp; the tone after it keeps its pitch and loudness.
    const std::size_t settled = 800;
    EXPECT_NEAR(AudioSignals::toneAmplitude(collected.samples, 440.0, 16000, settled), 0.5, 0.05);
    EXPECT_NEAR(AudioSignals::risingZeroCrossings(collected.samples, settled) * 16000.0 /
                        double(collected.samples.size() - settled),
                440.0, 3.0);
}

TEST_F(AudioPulse, EveryBufferGetsItsLevelBeforeItsChunk)
{
    AudioRecorder recorder;
    std::mutex mutex;
    std::vector<float> levels;
    recorder.setOnLevel([&](float level) {
        const std::lock_guard lock(mutex);
        levels.push_back(level);
    });
    AudioRecorder::Recording recording = started(recorder, listed(u"builtin"_s));
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
    // Buffers all of one magnitude (silence, full scale, rms 0.01), with the level each must have.
    std::map<float, std::pair<float, int>> seen{{0.0f, {0.0f, 0}}, {1.0f, {1.0f, 0}}, {0.01f, {0.2f, 0}}};
    for (std::size_t i = 0; i < collected.buffers.size(); ++i) {
        const auto samples = collected.buffers[i]->floatSamples();
        const float magnitude = std::abs(samples[0]);
        auto found = seen.find(magnitude);
        if (found != seen.end() && std::ranges::all_of(samples, [&](float s) { return std::abs(s) == magnitude; })) {
            EXPECT_NEAR(levels[i], found->second.first, 1e-4f) << "buffer " << i << " of magnitude " << magnitude;
            ++found->second.second;
        }
    }
    for (const auto& [magnitude, expected] : seen) {
        EXPECT_GT(expected.second, 0) << "no buffer of magnitude " << magnitude;
    }
}

TEST_F(AudioPulse, StopIsHarmlessWhenIdleAndASecondStartFinishesTheFirstTake)
{
    AudioRecorder recorder;
    recorder.stop();
    recorder.stop();
    AudioRecorder::Recording first = started(recorder, listed(u"builtin"_s));
    const std::vector<float> before = AudioSignals::noise(4000, 0.3f, 1);
    {
        const std::jthread writer = feed(m_builtIn, before);
        EXPECT_TRUE(startsWith(collect(first.stream, before.size()).samples, before));
    }

    AudioRecorder::Recording second = started(recorder, listed(u"usb"_s));
    // The first stream ends right away, and only the second hears what follows.
    EXPECT_EQ(first.stream.next({}, Clock::now() + patience), std::nullopt);
    EXPECT_TRUE(first.stream.atEnd());
    const std::vector<float> after = AudioSignals::noise(4000, 0.3f, 2);
    {
        const std::jthread writer = feed(m_usb, after);
        EXPECT_TRUE(startsWith(collect(second.stream, after.size()).samples, after));
    }
    recorder.stop();
    recorder.stop();
    EXPECT_EQ(second.stream.next({}, Clock::now() + patience), std::nullopt);
    EXPECT_TRUE(second.stream.atEnd());
}

TEST_F(AudioPulse, NoDeviceOrOneGoneSinceResolvingRecordsTheServersDefault)
{
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    const std::optional<AudioInputDevice> gone = AudioDevices::resolve(MicrophonePreference::device(u"builtin"_s));
    ASSERT_EQ(describe(gone), "0 builtin 'bltn' Built-in Microphone");
    ASSERT_TRUE(m_server.unloadModule(m_builtIn.module));
    // A device without a uid names nothing either.
    for (const auto& device : {std::optional<AudioInputDevice>(), std::optional(AudioInputDevice{}), gone}) {
        const LogCapture log;
        AudioRecorder recorder;
        AudioRecorder::Recording recording = started(recorder, device);
        EXPECT_TRUE(log.has(u"Recording from USB Microphone"_s)) << describe(device);
        const std::vector<float> signal = AudioSignals::noise(4000, 0.3f, 4);
        const std::jthread writer = feed(m_usb, signal);
        EXPECT_TRUE(startsWith(collect(recording.stream, signal.size()).samples, signal)) << describe(device);
    }
}

TEST_F(AudioPulse, AMicrophoneUnpluggedMidTakeHandsTheTakeToTheDefault)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, listed(u"usb"_s));
    const std::vector<float> before = AudioSignals::noise(1600, 0.3f, 5);
    {
        const std::jthread writer = feed(m_usb, before);
        EXPECT_TRUE(startsWith(collect(recording.stream, before.size()).samples, before));
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
    EXPECT_TRUE(log.has(u"Recording moved to builtin"_s));
}

TEST_F(AudioPulse, ServerGoingAwayEndsTheTake)
{
    const LogCapture log;
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, listed(u"builtin"_s));
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
    EXPECT_TRUE(log.has(u"Recording from Built-in Microphone ended"_s));

    recorder.stop();
    const auto restarted = recorder.start(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(restarted));
    EXPECT_EQ(std::get<AudioRecorderError>(restarted).kind(), AudioRecorderError::Kind::soundServer);
}

TEST(AudioPulseWithoutMicrophone, RecorderFailsWithNoMicrophone)
{
    PulseServer server;
    ASSERT_NO_FATAL_FAILURE(startServer(server));
    AudioRecorder recorder;
    const AudioInputDevice unplugged{7, u"unplugged"_s, u"Unplugged"_s, Transport::usb};
    // Nothing at all, then only the monitor of an output.
    for (const bool withSpeakers : {false, true}) {
        ASSERT_TRUE(!withSpeakers || server.addSink(u"speakers"_s));
        for (const auto& device : {std::optional<AudioInputDevice>(), std::optional(unplugged)}) {
            const auto result = recorder.start(device);
            ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(result));
            EXPECT_EQ(std::get<AudioRecorderError>(result), AudioRecorderError::noMicrophone());
        }
    }
}

// A server that hangs (its process stopped: the socket takes connections, nothing answers) makes every call give
// up in its own time; one that is gone gives nothing, and the recorder its error.
TEST(AudioPulseUnanswered, CallsGiveUpInTimeAndAGoneServerGivesNothing)
{
    PulseServer server;
    ASSERT_NO_FATAL_FAILURE(startServer(server));
    ASSERT_TRUE(server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s));
    ASSERT_EQ(AudioDevices::inputDevices().size(), 1);
    AudioRecorder recorder;

    server.freeze();
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(AudioDevices::inputDevices().isEmpty());
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
    // Two calls of one second each; a hang would run into the test's own timeout instead.
    EXPECT_GE(timer.elapsed(), 2 * 1000 - 50);
    EXPECT_LT(timer.elapsed(), 2 * 1000 + 2000);
    timer.restart();
    const auto timedOut = recorder.start(std::nullopt);
    EXPECT_GE(timer.elapsed(), 2000 - 50);
    EXPECT_LT(timer.elapsed(), 2000 + 2000);
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(timedOut));
    EXPECT_EQ(std::get<AudioRecorderError>(timedOut), AudioRecorderError::soundServer(u"Timeout"_s));

    server.stop();
    EXPECT_TRUE(AudioDevices::inputDevices().isEmpty());
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
    EXPECT_EQ(describe(AudioDevices::resolve(MicrophonePreference::automatic())), "none");
    EXPECT_EQ(describe(AudioDevices::resolve(MicrophonePreference::device(u"builtin"_s))), "none");
    const auto result = recorder.start(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<AudioRecorderError>(result));
    EXPECT_EQ(std::get<AudioRecorderError>(result), AudioRecorderError::soundServer(u"Connection refused"_s));
}

} // namespace
