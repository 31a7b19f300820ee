#include "BenchmarkMain.h"
#include "audio/AudioConverter.h"
#include "audio/AudioDeviceMonitor.h"
#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "integration/support/AudioSignals.h"
#include "integration/support/PulseServer.h"

#include <QProcess>
#include <QString>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <thread>
#include <unistd.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Something like a voice: a pulse train at a gliding pitch through three formant resonances, in syllables with
// pauses.
std::vector<float> speechLike(int rate, std::size_t frames)
{
    constexpr double twoPi = 2.0 * std::numbers::pi;
    std::mt19937 generator(1);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    // Two-pole resonators at formant frequencies of an open vowel.
    struct Resonator {
        double a1, a2, gain, y1 = 0.0, y2 = 0.0;
        Resonator(double frequency, double bandwidth, int rate)
        {
            const double r = std::exp(-std::numbers::pi * bandwidth / rate);
            a1 = 2.0 * r * std::cos(twoPi * frequency / rate);
            a2 = -r * r;
            gain = 1.0 - r;
        }
        double step(double x)
        {
            const double y = gain * x + a1 * y1 + a2 * y2;
            y2 = y1;
            y1 = y;
            return y;
        }
    };
    Resonator formants[] = {{700, 130, rate}, {1220, 70, rate}, {2600, 160, rate}};
    std::vector<float> samples(frames);
    double phase = 0.0;
    const std::size_t syllable = std::size_t(rate) / 4;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double pitch = 120.0 + 30.0 * std::sin(twoPi * 0.7 * t);
        phase += pitch / rate;
        double excitation = 0.0;
        if (phase >= 1.0) {
            phase -= 1.0;
            excitation = 1.0;
        }
        excitation += 0.02 * jitter(generator);
        // Syllables of a quarter second: voiced for the first 70%, then a pause.
        const double within = double(i % syllable) / double(syllable);
        const double envelope = within < 0.7 ? std::sin(std::numbers::pi * within / 0.7) : 0.0;
        double value = 0.0;
        for (Resonator& formant : formants) {
            value += formant.step(excitation);
        }
        samples[i] = float(std::clamp(3.0 * envelope * value, -0.9, 0.9));
    }
    return samples;
}

// Ten seconds of speech in the 10 ms buffers a 48 kHz stereo microphone delivers.
std::vector<AudioBufferPtr> capturedBuffers(const AudioFormat& format, std::size_t seconds)
{
    const std::vector<float> speech = speechLike(int(format.sampleRate), seconds * format.sampleRate);
    const std::size_t piece = format.sampleRate / 100;
    std::vector<AudioBufferPtr> buffers;
    for (std::size_t from = 0; from + piece <= speech.size(); from += piece) {
        std::vector<float> samples;
        samples.reserve(piece * format.channelCount);
        for (std::size_t frame = from; frame < from + piece; ++frame) {
            for (std::uint32_t channel = 0; channel < format.channelCount; ++channel) {
                // The right channel a little quieter, so the down-mix has work to do.
                samples.push_back(channel == 0 ? speech[frame] : 0.8f * speech[frame]);
            }
        }
        if (format.sampleType == SampleType::int16) {
            buffers.push_back(std::make_shared<const AudioBuffer>(format, AudioSignals::toInt16(samples)));
        } else {
            buffers.push_back(std::make_shared<const AudioBuffer>(format, std::move(samples)));
        }
    }
    return buffers;
}

// Reported as "realtime": seconds of audio converted per second of CPU time on one core.
void convertSpeech(benchmark::State& state, const AudioFormat& input)
{
    constexpr std::size_t seconds = 10;
    const std::vector<AudioBufferPtr> buffers = capturedBuffers(input, seconds);
    auto made = AudioConverter::make(input, AudioRecorder::format);
    if (!std::holds_alternative<AudioConverter>(made)) {
        state.SkipWithError("no converter");
        return;
    }
    AudioConverter& converter = std::get<AudioConverter>(made);
    std::size_t frames = 0;
    for (auto _ : state) {
        for (const AudioBufferPtr& buffer : buffers) {
            auto converted = converter.convert(buffer);
            frames += std::get<AudioBufferPtr>(converted)->frameLength();
            benchmark::DoNotOptimize(converted);
        }
    }
    state.counters["realtime"] = benchmark::Counter(double(seconds), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames_out_per_s_audio"] =
            benchmark::Counter(double(frames) / double(state.iterations()) / double(seconds));
}

void BM_Convert48kStereoFloatTo16kMono(benchmark::State& state)
{
    convertSpeech(state, {48000, 2, SampleType::float32, true});
}
BENCHMARK(BM_Convert48kStereoFloatTo16kMono)->Unit(benchmark::kMillisecond);

void BM_Convert44k1MonoInt16To16kMono(benchmark::State& state)
{
    convertSpeech(state, {44100, 1, SampleType::int16, true});
}
BENCHMARK(BM_Convert44k1MonoInt16To16kMono)->Unit(benchmark::kMillisecond);

// A private daemon with one virtual microphone that hears speech in real time, 10 ms at a time, as a sound card
// would deliver it. A pipe source reads its FIFO only while someone records, and what piles up in the FIFO
// meanwhile would reach the next take at once; a second client records it all the time, so the microphone runs
// continuously like real hardware and a take gets only what is spoken after it starts.
struct LiveMicrophone {
    PulseServer server;
    std::optional<PulseServer::Microphone> microphone;
    QProcess listener;
    std::unique_ptr<FifoFeeder> feeder;
    // The session's device list and recorder, kept from take to take.
    std::unique_ptr<AudioDeviceMonitor> monitor;
    std::optional<AudioInputDevice> device;
    AudioRecorder recorder;
    bool warm = false;
    QString error;

    LiveMicrophone()
    {
        if (!server.start(&error)) {
            return;
        }
        server.useInThisProcess();
        microphone = server.addMicrophone(QStringLiteral("benchmic"), QStringLiteral("Benchmark Microphone"));
        if (!microphone) {
            error = QStringLiteral("cannot add the virtual microphone");
            return;
        }
        listener.setStandardOutputFile(QProcess::nullDevice());
        listener.setStandardErrorFile(QProcess::nullDevice());
        listener.start(QStringLiteral("parec"), {QStringLiteral("--device=benchmic"), QStringLiteral("--raw")});
        if (!listener.waitForStarted(5000)) {
            error = QStringLiteral("cannot start parec");
            return;
        }
        feeder = std::make_unique<FifoFeeder>(microphone->fifo);
        feeder->feedInRealTime(speechLike(16000, 16000), 16000, 160);
        monitor = std::make_unique<AudioDeviceMonitor>();
        const auto deadline = Clock::now() + 5s;
        while (!device && Clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
            device = monitor->resolve(MicrophonePreference::systemDefault());
        }
        if (!device) {
            error = QStringLiteral("the virtual microphone is not listed");
        }
    }
    LiveMicrophone(const LiveMicrophone&) = delete;
    LiveMicrophone& operator=(const LiveMicrophone&) = delete;
    ~LiveMicrophone()
    {
        recorder.stop();
        feeder.reset();
        listener.kill();
        listener.waitForFinished(3000);
    }

    // Made on first use, and stopped by main() before the program's static objects go away.
    static std::unique_ptr<LiveMicrophone>& instance()
    {
        static std::unique_ptr<LiveMicrophone> live;
        if (!live) {
            live = std::make_unique<LiveMicrophone>();
        }
        return live;
    }

    // The microphone with this process talking to its daemon, or nothing when it could not be set up (the
    // benchmark is then skipped with the reason).
    static LiveMicrophone* orSkip(benchmark::State& state)
    {
        LiveMicrophone& live = *instance();
        if (!live.device) {
            state.SkipWithError(qPrintable(live.error));
            return nullptr;
        }
        live.server.useInThisProcess();
        return &live;
    }
};

// Measures one take: from `start` until its first chunk is in the consumer's hands.
bool timeFirstChunk(benchmark::State& state, AudioRecorder& recorder, const AudioInputDevice& device)
{
    const auto begin = Clock::now();
    auto started = recorder.start(device);
    const auto returned = Clock::now();
    auto* recording = std::get_if<AudioRecorder::Recording>(&started);
    if (!recording) {
        state.SkipWithError(qPrintable(std::get<AudioRecorderError>(started).description()));
        return false;
    }
    const std::optional<AudioChunk> chunk = recording->stream.next({}, Clock::now() + 2s);
    const auto end = Clock::now();
    recorder.stop();
    if (!chunk) {
        state.SkipWithError("no chunk within two seconds");
        return false;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    // How much of it `start` itself took; the rest is waiting for the microphone's next 10 ms.
    state.counters["start_returned_ms"] = std::chrono::duration<double, std::milli>(returned - begin).count();
    return true;
}

// The session's case: one recorder for the whole run, a new take each time.
void BM_StartToFirstChunk(benchmark::State& state)
{
    LiveMicrophone* found = LiveMicrophone::orSkip(state);
    if (!found) {
        return;
    }
    LiveMicrophone& live = *found;
    // The first take of a recorder also starts its capture thread and connects; that has its own benchmark.
    if (!live.warm && !timeFirstChunk(state, live.recorder, *live.device)) {
        return;
    }
    live.warm = true;
    for (auto _ : state) {
        if (!timeFirstChunk(state, live.recorder, *live.device)) {
            return;
        }
    }
}
BENCHMARK(BM_StartToFirstChunk)->Apply(timedTakes);

// The very first take of a process: the capture thread and the server connection are made too.
void BM_StartToFirstChunkNewRecorder(benchmark::State& state)
{
    LiveMicrophone* found = LiveMicrophone::orSkip(state);
    if (!found) {
        return;
    }
    LiveMicrophone& live = *found;
    for (auto _ : state) {
        AudioRecorder recorder;
        if (!timeFirstChunk(state, recorder, *live.device)) {
            return;
        }
    }
}
BENCHMARK(BM_StartToFirstChunkNewRecorder)->Apply(timedTakes);

// The main thread's share of a press on the recorder's side: `start` until it returns with the capture running, with
// the device the list gave and with none (the server's default, found by name), and the `stop` after it. The
// recorder is the session's, kept from take to take.
void BM_RecorderStart(benchmark::State& state)
{
    LiveMicrophone* found = LiveMicrophone::orSkip(state);
    if (!found) {
        return;
    }
    LiveMicrophone& live = *found;
    const std::optional<AudioInputDevice> device = state.range(0) != 0 ? live.device : std::nullopt;
    for (auto _ : state) {
        const auto begin = Clock::now();
        auto started = live.recorder.start(device);
        const auto returned = Clock::now();
        live.recorder.stop();
        const auto stopped = Clock::now();
        if (auto* error = std::get_if<AudioRecorderError>(&started)) {
            state.SkipWithError(qPrintable(error->description()));
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(returned - begin).count());
        state.counters["stop_ms"] = std::chrono::duration<double, std::milli>(stopped - returned).count();
    }
}
BENCHMARK(BM_RecorderStart)->ArgName("device")->Arg(1)->Arg(0)->Apply(timedTakes);

// What each press cost before the list was kept: a new connection that asks the server for its sources.
void BM_ResolveWithAFreshConnection(benchmark::State& state)
{
    if (!LiveMicrophone::orSkip(state)) {
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(AudioDevices::resolve(MicrophonePreference::automatic()));
    }
}
BENCHMARK(BM_ResolveWithAFreshConnection)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(40)
        ->ReportAggregatesOnly(true);

// A press answered from the monitor's list, from any thread and without the server.
void BM_ResolveFromMemory(benchmark::State& state)
{
    LiveMicrophone* found = LiveMicrophone::orSkip(state);
    if (!found) {
        return;
    }
    LiveMicrophone& live = *found;
    for (auto _ : state) {
        benchmark::DoNotOptimize(live.monitor->resolve(MicrophonePreference::automatic()));
    }
}
BENCHMARK(BM_ResolveFromMemory)->Unit(benchmark::kMicrosecond);

// The audio side of a press as the session makes it on its main thread: the microphone resolved from the list,
// then `start` until the capture runs.
void BM_PressToRecording(benchmark::State& state)
{
    LiveMicrophone* found = LiveMicrophone::orSkip(state);
    if (!found) {
        return;
    }
    LiveMicrophone& live = *found;
    for (auto _ : state) {
        const auto begin = Clock::now();
        auto started = live.recorder.start(live.monitor->resolve(MicrophonePreference::automatic()));
        const auto recording = Clock::now();
        live.recorder.stop();
        if (auto* error = std::get_if<AudioRecorderError>(&started)) {
            state.SkipWithError(qPrintable(error->description()));
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(recording - begin).count());
    }
}
BENCHMARK(BM_PressToRecording)->Apply(timedTakes);

long residentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Ten minutes of speech through one take while a consumer drains the stream. The microphone is fed 80 times
// faster than real time (the pipe source is not clocked; much faster and the daemon drops what the record
// stream cannot take in time). The resident size is sampled after every minute of audio; past the first minute
// (allocator and library warm-up) it should not grow.
void BM_TenMinuteTakeMemory(benchmark::State& state)
{
    PulseServer server;
    QString error;
    if (!server.start(&error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    server.useInThisProcess();
    const auto microphone = server.addMicrophone(QStringLiteral("longtake"), QStringLiteral("Long Take"));
    if (!microphone) {
        state.SkipWithError("cannot add the virtual microphone");
        return;
    }
    constexpr std::size_t minutes = 10;
    constexpr std::size_t framesPerMinute = 60 * 16000;
    const std::vector<float> second = speechLike(16000, 16000);

    for (auto _ : state) {
        AudioRecorder recorder;
        auto started = recorder.start(std::nullopt);
        auto* recording = std::get_if<AudioRecorder::Recording>(&started);
        if (!recording) {
            state.SkipWithError(qPrintable(std::get<AudioRecorderError>(started).description()));
            return;
        }
        std::jthread writer([&] {
            FifoFeeder feeder(microphone->fifo);
            auto due = Clock::now();
            for (std::size_t i = 0; i < minutes * 60; ++i) {
                if (!feeder.write(second)) {
                    break;
                }
                due += std::chrono::microseconds(1'000'000 / state.range(0));
                std::this_thread::sleep_until(due);
            }
        });

        std::vector<long> residentAfterMinute;
        std::size_t frames = 0;
        std::size_t largestBacklog = 0;
        const long before = residentKilobytes();
        const auto begin = Clock::now();
        while (frames < minutes * framesPerMinute) {
            largestBacklog = std::max(largestBacklog, recording->stream.bufferedCount());
            const std::optional<AudioChunk> chunk = recording->stream.next({}, Clock::now() + 2s);
            if (!chunk) {
                break;
            }
            const std::size_t previous = frames;
            frames += chunk->buffer->frameLength();
            if (frames / framesPerMinute != previous / framesPerMinute) {
                residentAfterMinute.push_back(residentKilobytes());
            }
        }
        const double wallSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        recorder.stop();
        writer.join();

        if (residentAfterMinute.empty()) {
            state.SkipWithError("not even a minute of audio came through");
            return;
        }
        const auto [lowest, highest] = std::ranges::minmax(residentAfterMinute);
        state.counters["audio_minutes"] = double(frames) / double(framesPerMinute);
        state.counters["speedup"] = double(frames) / 16000.0 / wallSeconds;
        state.counters["rss_start_kB"] = double(before);
        state.counters["rss_growth_first_minute_kB"] = double(residentAfterMinute.front() - before);
        state.counters["rss_growth_later_minutes_kB"] =
                double(residentAfterMinute.back() - residentAfterMinute.front());
        state.counters["rss_spread_later_minutes_kB"] = double(highest - lowest);
        state.counters["largest_backlog_chunks"] = double(largestBacklog);
    }
}
BENCHMARK(BM_TenMinuteTakeMemory)->Unit(benchmark::kSecond)->Iterations(1)->Arg(80);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    // One line per take would bury the results.
    const int status = sayloom::runBenchmarks(argc, argv, QStringLiteral("app.sayloom.audio.info=false"));
    sayloom::LiveMicrophone::instance().reset();
    return status;
}
