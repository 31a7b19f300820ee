#include "audio/AudioDeviceMonitor.h"
#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "integration/support/AudioSignals.h"
#include "integration/support/ChildProcess.h"
#include "integration/support/PulseServer.h"
#include "support/Printers.h"

#include <QElapsedTimer>
#include <QStringList>

#include <gtest/gtest.h>
#include <mutex>

using namespace sayloom;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Every wait of these tests ends by this long at the latest; the device list's retries after the server comes back
// take up to seven seconds.
constexpr auto patience = 10s;

// "id uid 'transport' name" for each device: what a failing comparison shows.
QStringList described(const QList<AudioInputDevice>& devices)
{
    QStringList lines;
    for (const AudioInputDevice& device : devices) {
        lines << u"%1 %2 '%3' %4"_s.arg(QString::number(device.id), device.uid, Transport::text(device.transport),
                                        device.name);
    }
    return lines;
}

// A null sink, whose monitor is a source that is no microphone.
const QStringList addSpeakers = {u"load-module"_s, u"module-null-sink"_s, u"sink_name=speakers"_s};

// All the recorder reads of a device is its uid.
std::optional<AudioInputDevice> source(const QString& uid)
{
    return AudioInputDevice{.id = 0, .uid = uid, .name = uid, .transport = Transport::none};
}

QString uidOf(const std::optional<AudioInputDevice>& device)
{
    return device ? device->uid : u"(none)"_s;
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
    if (recorded.size() >= signal.size() && std::equal(signal.begin(), signal.end(), recorded.begin())) {
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
// microphone), a USB microphone and a Bluetooth headset.
class AudioPulse : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startServer(m_server));
        ASSERT_NO_FATAL_FAILURE(addBuiltIn());
        ASSERT_TRUE(m_server.pactl(addSpeakers));
        const auto usb = m_server.addMicrophone(u"usb"_s, u"USB Microphone"_s, {{u"device.bus"_s, u"usb"_s}});
        ASSERT_TRUE(usb);
        m_usb = *usb;
        ASSERT_TRUE(m_server.addMicrophone(u"headset"_s, u"Headset"_s, {{u"device.bus"_s, u"bluetooth"_s}}));
        ASSERT_TRUE(m_server.setDefaultSource(u"builtin"_s));
    }

    void addBuiltIn()
    {
        const auto builtIn =
                m_server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s,
                                       {{u"device.bus"_s, u"pci"_s}, {u"device.form_factor"_s, u"internal"_s}});
        ASSERT_TRUE(builtIn);
        m_builtIn = *builtIn;
    }

    PulseServer m_server;
    PulseServer::Microphone m_builtIn;
    PulseServer::Microphone m_usb;
};

TEST_F(AudioPulse, TheListHasTheServersMicrophonesInItsOrderAndFollowsItsChanges)
{
    AudioDeviceMonitor monitor;
    int changes = 0;
    QObject::connect(&monitor, &AudioDeviceMonitor::devicesChanged, [&] { ++changes; });
    // One signal for each change of the list or the default, none for a change that leaves both as they were.
    auto expectOneChange = [&, seen = 0]() mutable {
        EXPECT_TRUE(waitUntil([&] { return changes > seen; }, patience));
        EXPECT_EQ(changes, seen + 1);
        seen = changes;
    };
    expectOneChange();
    // Ids are the server's source indices (0 is one of them); the speakers' monitor holds 1 and is left out.
    const QStringList all = {u"0 builtin 'bltn' Built-in Microphone"_s, u"2 usb 'usb ' USB Microphone"_s,
                             u"3 headset 'blue' Headset"_s};
    EXPECT_EQ(described(monitor.inputDevices()), all);
    EXPECT_EQ(monitor.defaultInputID(), 0u);
    // The one-shot calls ask the same over a connection of their own.
    EXPECT_EQ(described(AudioDevices::inputDevices()), all);
    EXPECT_EQ(AudioDevices::defaultInputID(), 0u);

    ASSERT_TRUE(m_server.pactl({u"set-source-volume"_s, u"builtin"_s, u"50%"_s}));
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    expectOneChange();
    EXPECT_EQ(monitor.defaultInputID(), 2u);
    EXPECT_EQ(uidOf(AudioDevices::resolve(MicrophonePreference::automatic())), u"usb"_s);
    ASSERT_TRUE(m_server.setDefaultSource(u"speakers.monitor"_s));
    expectOneChange();
    EXPECT_EQ(monitor.defaultInputID(), std::nullopt) << "a monitor is no default input";
    ASSERT_TRUE(m_server.addMicrophone(u"studio"_s, u"Studio"_s));
    expectOneChange();
    EXPECT_EQ(described(monitor.inputDevices()), all + QStringList{u"4 studio '0x0' Studio"_s});
    ASSERT_TRUE(m_server.pactl({u"unload-module"_s, QString::number(m_usb.module)}));
    expectOneChange();
    EXPECT_EQ(described(monitor.inputDevices()), (QStringList{all[0], all[2], u"4 studio '0x0' Studio"_s}));
}

// A server that hangs (its process stopped: the socket takes connections, nothing answers) leaves the list as it
// was and makes new connections give up in their time; one that goes away ends the take and empties the list, and
// a start fails at once; when it is back, so is the list, and a take records again once there is a microphone.
TEST_F(AudioPulse, TheListAndTheRecorderOutliveTheServer)
{
    AudioDeviceMonitor monitor;
    const MicrophonePreference automatic = MicrophonePreference::automatic();
    ASSERT_TRUE(waitUntil([&] { return monitor.resolve(automatic).has_value(); }, patience));
    AudioRecorder recorder;
    AudioRecorder::Recording take = started(recorder, monitor.resolve(automatic));

    m_server.freeze();
    EXPECT_EQ(uidOf(monitor.resolve(automatic)), u"builtin"_s) << "from memory, without the server";
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(AudioDevices::inputDevices().isEmpty());
    EXPECT_LT(timer.elapsed(), 1000 + 2000);
    timer.restart();
    EXPECT_EQ(std::get<AudioRecorderError>(AudioRecorder().start(std::nullopt)),
              AudioRecorderError::soundServer(u"Timeout"_s));
    EXPECT_LT(timer.elapsed(), 2000 + 2000);

    m_server.stop();
    for (const auto deadline = Clock::now() + patience; take.stream.next({}, deadline);) {
    }
    EXPECT_TRUE(take.stream.atEnd()) << "the take should end, not time out";
    EXPECT_TRUE(waitUntil([&] { return monitor.inputDevices().isEmpty(); }, patience));
    EXPECT_EQ(uidOf(monitor.resolve(automatic)), u"(none)"_s);
    EXPECT_EQ(uidOf(monitor.resolve(MicrophonePreference::device(u"builtin"_s))), u"(none)"_s);
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
    timer.restart();
    EXPECT_EQ(std::get<AudioRecorderError>(recorder.start(monitor.resolve(automatic))),
              AudioRecorderError::soundServer(u"Connection refused"_s));
    EXPECT_LT(timer.elapsed(), 2000 + 2000);

    // Back, but with no microphone yet, then only the monitor of an output: nothing to record from.
    ASSERT_NO_FATAL_FAILURE(startServer(m_server));
    for (const bool withSpeakers : {false, true}) {
        ASSERT_TRUE(!withSpeakers || m_server.pactl(addSpeakers));
        for (const auto& device : {std::optional<AudioInputDevice>(), source(u"builtin"_s)}) {
            EXPECT_EQ(std::get<AudioRecorderError>(recorder.start(device)), AudioRecorderError::noMicrophone());
        }
    }
    ASSERT_NO_FATAL_FAILURE(addBuiltIn());
    ASSERT_TRUE(waitUntil([&] { return monitor.resolve(automatic).has_value(); }, patience));
    AudioRecorder::Recording again = started(recorder, monitor.resolve(automatic));
    const std::vector<float> signal = AudioSignals::noise(4000, 0.3f, 3);
    const std::jthread writer = feed(m_builtIn, signal);
    EXPECT_TRUE(startsWith(collect(again.stream, signal.size()).samples, signal));
}

// Every buffer comes in the announced format with its level; a second start finishes the first take, and only the
// second hears what follows; stop is harmless when nothing records.
TEST_F(AudioPulse, TakesHearWhatTheirMicrophoneHears)
{
    AudioRecorder recorder;
    std::mutex mutex;
    std::vector<float> levels;
    recorder.setOnLevel([&](float level) {
        const std::lock_guard lock(mutex);
        levels.push_back(level);
    });
    recorder.stop();
    AudioRecorder::Recording first = started(recorder, source(u"builtin"_s));
    EXPECT_EQ(first.format, (AudioFormat{16000, 1, SampleType::float32, false}));
    // Silence, then noise: buffers of different levels.
    std::vector<float> before(8000, 0.0f);
    const std::vector<float> noise = AudioSignals::noise(8000, 0.3f, 1);
    before.insert(before.end(), noise.begin(), noise.end());
    Collected heard;
    {
        const std::jthread writer = feed(m_builtIn, before);
        heard = collect(first.stream, before.size());
    }
    EXPECT_TRUE(startsWith(heard.samples, before));
    {
        const std::lock_guard lock(mutex);
        ASSERT_GE(levels.size(), heard.buffers.size());
        for (std::size_t i = 0; i < heard.buffers.size(); ++i) {
            EXPECT_EQ(heard.buffers[i]->format(), AudioRecorder::format);
            EXPECT_EQ(levels[i], AudioRecorder::level(*heard.buffers[i])) << "buffer " << i;
        }
    }

    AudioRecorder::Recording second = started(recorder, source(u"usb"_s));
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
    // Stopping ends the capture itself, not only the stream: the server records nothing more.
    QString recordings;
    EXPECT_TRUE(waitUntil(
            [&] {
                return m_server.pactl({u"list"_s, u"short"_s, u"source-outputs"_s}, &recordings) &&
                       recordings.isEmpty();
            },
            patience))
            << recordings.toStdString();
}

TEST_F(AudioPulse, NoDeviceOrOneGoneRecordsTheServersDefault)
{
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    // A device without a uid names nothing either.
    for (const auto& device : {std::optional<AudioInputDevice>(), source({}), source(u"unplugged"_s)}) {
        AudioRecorder recorder;
        AudioRecorder::Recording recording = started(recorder, device);
        const std::vector<float> signal = AudioSignals::noise(4000, 0.3f, 4);
        const std::jthread writer = feed(m_usb, signal);
        EXPECT_TRUE(startsWith(collect(recording.stream, signal.size()).samples, signal))
                << (device ? "uid \"" + device->uid.toStdString() + '"' : "no device");
    }
}

TEST_F(AudioPulse, AMicrophoneUnpluggedMidTakeHandsTheTakeToTheDefault)
{
    AudioRecorder recorder;
    AudioRecorder::Recording recording = started(recorder, source(u"usb"_s));
    const std::vector<float> before = AudioSignals::noise(1600, 0.3f, 5);
    {
        const std::jthread writer = feed(m_usb, before);
        EXPECT_TRUE(startsWith(collect(recording.stream, before.size()).samples, before));
    }
    ASSERT_TRUE(m_server.pactl({u"unload-module"_s, QString::number(m_usb.module)}));
    // What the built-in microphone hears while the server moves the take across may be lost, so it keeps
    // talking, and the end of what comes out must be its voice.
    const std::vector<float> period = AudioSignals::noise(160, 0.3f, 6);
    FifoFeeder feeder(m_builtIn.fifo);
    feeder.feedInRealTime(period, 16000, 160);
    const Collected after = collect(recording.stream, 3200);
    ASSERT_GE(after.samples.size(), 3200u);
    EXPECT_TRUE(std::all_of(after.samples.end() - 1600, after.samples.end(),
                            [&](float sample) { return std::ranges::find(period, sample) != period.end(); }));
}

} // namespace
