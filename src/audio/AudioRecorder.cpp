#include "audio/AudioRecorder.h"

#include "audio/PulseSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

// The longest `start` waits for the server, from connecting to the stream running.
constexpr std::chrono::milliseconds answerTimeout{2000};

// The server hands over what it captured in pieces of about this length: short enough that the first chunk and
// the level meter follow the voice at once, long enough to keep the capture thread mostly asleep.
constexpr pa_usec_t fragmentMicroseconds = 20 * PA_USEC_PER_MSEC;

// Holds the main loop's lock for a scope. The capture thread already holds it while it runs our callbacks, so
// there it takes nothing.
class MainloopLock final {
public:
    explicit MainloopLock(pa_threaded_mainloop* mainloop)
        : m_mainloop(pa_threaded_mainloop_in_thread(mainloop) ? nullptr : mainloop)
    {
        if (m_mainloop) {
            pa_threaded_mainloop_lock(m_mainloop);
        }
    }
    MainloopLock(const MainloopLock&) = delete;
    MainloopLock& operator=(const MainloopLock&) = delete;
    ~MainloopLock()
    {
        if (m_mainloop) {
            pa_threaded_mainloop_unlock(m_mainloop);
        }
    }

private:
    pa_threaded_mainloop* m_mainloop;
};

struct Source {
    std::string name;
    QString displayName;
};

} // namespace

// The libpulse side. The fields marked "loop" are read and written only with the main loop's lock held;
// `continuation` only under `takeMutex`.
struct AudioRecorder::Capture {
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;      // loop; kept between takes, replaced when it has failed
    pa_stream* stream = nullptr;        // loop; the current take's
    bool recording = false;             // loop; the stream is running for a take
    bool timedOut = false;              // loop; set by the wait timer
    QString deviceName;                 // loop; for the logs
    std::function<void(float)> onLevel; // loop

    std::mutex takeMutex;
    std::optional<AudioStream::Continuation> continuation;

    ~Capture()
    {
        if (!mainloop) {
            return;
        }
        {
            const MainloopLock lock(mainloop);
            dropStream();
            dropContext();
        }
        pa_threaded_mainloop_stop(mainloop);
        pa_threaded_mainloop_free(mainloop);
    }

    std::optional<AudioRecorderError> startMainloop()
    {
        if (mainloop) {
            return std::nullopt;
        }
        mainloop = pa_threaded_mainloop_new();
        if (!mainloop) {
            return AudioRecorderError::soundServer(pulse::errorText(PA_ERR_INTERNAL));
        }
        pa_threaded_mainloop_set_name(mainloop, "audio-capture");
        if (pa_threaded_mainloop_start(mainloop) < 0) {
            pa_threaded_mainloop_free(mainloop);
            mainloop = nullptr;
            return AudioRecorderError::soundServer(pulse::errorText(PA_ERR_INTERNAL));
        }
        return std::nullopt;
    }

    void signal() { pa_threaded_mainloop_signal(mainloop, 0); }

    bool contextGood() const { return context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); }

    AudioRecorderError serverError() const
    {
        return AudioRecorderError::soundServer(
                pulse::errorText(context ? pa_context_errno(context) : PA_ERR_CONNECTIONTERMINATED));
    }

    // With the lock held: sleeps until `done()` or the deadline; true when done.
    template <typename Done>
    bool waitUntil(Clock::time_point deadline, Done done)
    {
        if (done()) {
            return true;
        }
        timedOut = false;
        pa_time_event* timer = pa_context_rttime_new(
                context, pa_rtclock_now() + pulse::microsecondsUntil(deadline),
                [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
                    auto* capture = static_cast<Capture*>(userdata);
                    capture->timedOut = true;
                    capture->signal();
                },
                this);
        if (!timer) {
            // Without a timer nothing would end the wait.
            return false;
        }
        while (!done() && !timedOut) {
            pa_threaded_mainloop_wait(mainloop);
        }
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
        api->time_free(timer);
        return done();
    }

    std::optional<AudioRecorderError> connect(Clock::time_point deadline)
    {
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY) {
            return std::nullopt;
        }
        dropContext();
        context = pulse::newContext(pa_threaded_mainloop_get_api(mainloop));
        if (!context) {
            return AudioRecorderError::soundServer(pulse::errorText(PA_ERR_INTERNAL));
        }
        pa_context_set_state_callback(context, onContextState, this);
        if (pa_context_connect(context, nullptr, pulse::connectFlags, nullptr) < 0) {
            const AudioRecorderError error = serverError();
            dropContext();
            return error;
        }
        const bool answered = waitUntil(deadline, [this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (pa_context_get_state(context) == PA_CONTEXT_READY) {
            return std::nullopt;
        }
        const AudioRecorderError error =
                answered ? serverError() : AudioRecorderError::soundServer(pulse::errorText(PA_ERR_TIMEOUT));
        dropContext();
        return error;
    }

    // Runs `operation` and waits for `done`; the operation is cancelled when it is not, so its callback can no
    // longer reach the caller's frame.
    template <typename Done>
    std::optional<AudioRecorderError> await(pa_operation* operation, Clock::time_point deadline, Done done)
    {
        if (!operation) {
            return serverError();
        }
        const bool answered = waitUntil(deadline, [&] { return done() || !contextGood(); });
        if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
        if (done()) {
            return std::nullopt;
        }
        if (!answered) {
            // A server that does not answer in time is not trusted with the next take either.
            dropContext();
            return AudioRecorderError::soundServer(pulse::errorText(PA_ERR_TIMEOUT));
        }
        return serverError();
    }

    // The source of that name, unless it is a monitor. Nothing when there is no such microphone.
    std::variant<std::optional<Source>, AudioRecorderError> sourceNamed(const std::string& name,
                                                                        Clock::time_point deadline)
    {
        struct Lookup {
            Capture* capture = nullptr;
            bool done = false;
            std::optional<Source> source;
        } lookup;
        lookup.capture = this;
        pa_operation* operation = pa_context_get_source_info_by_name(
                context, name.c_str(),
                [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                    auto* state = static_cast<Lookup*>(userdata);
                    if (eol == 0 && info && info->name && pulse::isMicrophone(*info)) {
                        state->source = Source{info->name, pulse::displayName(*info)};
                    }
                    if (eol != 0) {
                        // An unknown name ends with an error (eol < 0): simply no such source.
                        state->done = true;
                        state->capture->signal();
                    }
                },
                &lookup);
        if (auto error = await(operation, deadline, [&] { return lookup.done; })) {
            return *error;
        }
        return lookup.source;
    }

    std::variant<std::string, AudioRecorderError> defaultSourceName(Clock::time_point deadline)
    {
        struct Lookup {
            Capture* capture = nullptr;
            bool done = false;
            std::string name;
        } lookup;
        lookup.capture = this;
        pa_operation* operation = pa_context_get_server_info(
                context,
                [](pa_context*, const pa_server_info* info, void* userdata) {
                    auto* state = static_cast<Lookup*>(userdata);
                    if (info && info->default_source_name) {
                        state->name = info->default_source_name;
                    }
                    state->done = true;
                    state->capture->signal();
                },
                &lookup);
        if (auto error = await(operation, deadline, [&] { return lookup.done; })) {
            return *error;
        }
        return lookup.name;
    }

    std::variant<Source, AudioRecorderError> chooseSource(const std::optional<AudioInputDevice>& device,
                                                          Clock::time_point deadline)
    {
        // The server refuses to look up an empty name rather than finding nothing; either way it is no device.
        if (device && !device->uid.isEmpty()) {
            auto named = sourceNamed(device->uid.toStdString(), deadline);
            if (auto* error = std::get_if<AudioRecorderError>(&named)) {
                return *error;
            }
            if (auto& source = std::get<std::optional<Source>>(named)) {
                return *source;
            }
            qCInfo(lcAudio, "Microphone %s is gone; using the default input", qUtf8Printable(device->name));
        }
        auto defaultName = defaultSourceName(deadline);
        if (auto* error = std::get_if<AudioRecorderError>(&defaultName)) {
            return *error;
        }
        const std::string& name = std::get<std::string>(defaultName);
        if (name.empty()) {
            return AudioRecorderError::noMicrophone();
        }
        auto named = sourceNamed(name, deadline);
        if (auto* error = std::get_if<AudioRecorderError>(&named)) {
            return *error;
        }
        // A default that is a monitor records what is played: no microphone at all.
        if (auto& source = std::get<std::optional<Source>>(named)) {
            return *source;
        }
        return AudioRecorderError::noMicrophone();
    }

    std::optional<AudioRecorderError> connectStream(const Source& source, Clock::time_point deadline)
    {
        const pa_sample_spec spec{.format = PA_SAMPLE_FLOAT32NE,
                                  .rate = AudioRecorder::format.sampleRate,
                                  .channels = std::uint8_t(AudioRecorder::format.channelCount)};
        pa_channel_map map;
        pa_channel_map_init_mono(&map);
        stream = pa_stream_new(context, "Dictation", &spec, &map);
        if (!stream) {
            return serverError();
        }
        pa_stream_set_state_callback(stream, onStreamState, this);
        pa_stream_set_read_callback(stream, onRead, this);
        pa_stream_set_moved_callback(stream, onMoved, this);
        const auto unset = std::uint32_t(-1);
        const pa_buffer_attr buffering{.maxlength = unset,
                                       .tlength = unset,
                                       .prebuf = unset,
                                       .minreq = unset,
                                       .fragsize = std::uint32_t(pa_usec_to_bytes(fragmentMicroseconds, &spec))};
        if (pa_stream_connect_record(stream, source.name.c_str(), &buffering, PA_STREAM_ADJUST_LATENCY) < 0) {
            const bool serverFine = contextGood();
            dropStream();
            return serverFine ? AudioRecorderError::cannotUse(source.displayName) : serverError();
        }
        const bool answered = waitUntil(deadline, [this] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state) || !contextGood();
        });
        if (pa_stream_get_state(stream) == PA_STREAM_READY) {
            return std::nullopt;
        }
        dropStream();
        if (!answered) {
            dropContext();
            return AudioRecorderError::soundServer(pulse::errorText(PA_ERR_TIMEOUT));
        }
        return contextGood() ? AudioRecorderError::cannotUse(source.displayName) : serverError();
    }

    void dropStream()
    {
        recording = false;
        if (!stream) {
            return;
        }
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_moved_callback(stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            pa_stream_disconnect(stream);
        }
        pa_stream_unref(stream);
        stream = nullptr;
    }

    void dropContext()
    {
        if (!context) {
            return;
        }
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    // Ends the stream of the take for the consumer; true when there was one.
    bool finishTake()
    {
        const std::lock_guard lock(takeMutex);
        if (!continuation) {
            return false;
        }
        continuation->finish();
        continuation.reset();
        return true;
    }

    // On the capture thread: the take ended without `stop`.
    void takeBroke(const QString& reason)
    {
        if (!recording) {
            return;
        }
        recording = false;
        if (finishTake()) {
            qCWarning(lcAudio, "Recording from %s ended: %s", qUtf8Printable(deviceName), qUtf8Printable(reason));
        }
    }

    void deliver(const void* data, std::size_t bytes)
    {
        const pa_sample_spec* spec = pa_stream_get_sample_spec(stream);
        if (!spec || spec->channels == 0 || spec->format != PA_SAMPLE_FLOAT32NE) {
            return;
        }
        const std::size_t frames = bytes / (sizeof(float) * spec->channels);
        if (frames == 0) {
            return;
        }
        std::vector<float> samples(frames * spec->channels);
        std::memcpy(samples.data(), data, samples.size() * sizeof(float));
        // The server delivers frames interleaved; for mono both layouts are the same bytes, and saying
        // non-interleaved makes the chunks equal to the announced format.
        const AudioFormat delivered{.sampleRate = spec->rate,
                                    .channelCount = spec->channels,
                                    .sampleType = SampleType::float32,
                                    .interleaved = spec->channels > 1};
        auto buffer = std::make_shared<const AudioBuffer>(delivered, std::move(samples));
        if (onLevel) {
            onLevel(AudioRecorder::level(*buffer));
        }
        const std::lock_guard lock(takeMutex);
        if (continuation) {
            continuation->yield(AudioChunk{std::move(buffer)});
        }
    }

    static void onContextState(pa_context* context, void* userdata)
    {
        auto* capture = static_cast<Capture*>(userdata);
        capture->signal();
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
            capture->takeBroke(u"lost the sound server (" + pulse::errorText(pa_context_errno(context)) + u")");
        }
    }

    static void onStreamState(pa_stream* stream, void* userdata)
    {
        auto* capture = static_cast<Capture*>(userdata);
        capture->signal();
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            const int error = pa_context_errno(pa_stream_get_context(stream));
            capture->takeBroke(u"the sound server closed the recording (" + pulse::errorText(error) + u")");
        }
    }

    // The server moves a take whose microphone goes away to another source rather than ending it.
    static void onMoved(pa_stream* stream, void*)
    {
        const char* source = pa_stream_get_device_name(stream);
        qCInfo(lcAudio, "Recording moved to %s", source ? source : "another source");
    }

    static void onRead(pa_stream* stream, std::size_t, void* userdata)
    {
        auto* capture = static_cast<Capture*>(userdata);
        for (;;) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
                return;
            }
            // No data with a length is a hole the server could not fill: dropped, with neither level nor chunk.
            if (data) {
                capture->deliver(data, bytes);
            }
            pa_stream_drop(stream);
        }
    }
};

AudioRecorder::AudioRecorder()
    : m_capture(std::make_unique<Capture>())
{
}

AudioRecorder::~AudioRecorder()
{
    stop();
}

std::variant<AudioRecorder::Recording, AudioRecorderError>
AudioRecorder::start(const std::optional<AudioInputDevice>& device)
{
    stop();
    Capture& capture = *m_capture;
    if (auto error = capture.startMainloop()) {
        return *error;
    }
    const Clock::time_point deadline = Clock::now() + answerTimeout;
    const MainloopLock lock(capture.mainloop);
    if (auto error = capture.connect(deadline)) {
        qCWarning(lcAudio, "Cannot reach the sound server: %s", qUtf8Printable(error->description()));
        return *error;
    }
    auto chosen = capture.chooseSource(device, deadline);
    if (auto* error = std::get_if<AudioRecorderError>(&chosen)) {
        return *error;
    }
    const Source& source = std::get<Source>(chosen);

    // The consumer's end exists before the first read, so nothing captured after the stream runs is lost.
    auto [stream, continuation] = AudioStream::make();
    {
        const std::lock_guard takeLock(capture.takeMutex);
        capture.continuation = std::move(continuation);
    }
    if (auto error = capture.connectStream(source, deadline)) {
        capture.finishTake();
        qCWarning(lcAudio, "Cannot record from %s: %s", qUtf8Printable(source.displayName),
                  qUtf8Printable(error->description()));
        return *error;
    }
    capture.recording = true;
    capture.deviceName = source.displayName;
    qCInfo(lcAudio, "Recording from %s", qUtf8Printable(source.displayName));
    return Recording{std::move(stream), format};
}

void AudioRecorder::stop()
{
    Capture& capture = *m_capture;
    capture.finishTake();
    if (!capture.mainloop) {
        return;
    }
    const MainloopLock lock(capture.mainloop);
    capture.dropStream();
}

void AudioRecorder::setOnLevel(std::function<void(float)> onLevel)
{
    Capture& capture = *m_capture;
    if (!capture.mainloop) {
        capture.onLevel = std::move(onLevel);
        return;
    }
    const MainloopLock lock(capture.mainloop);
    capture.onLevel = std::move(onLevel);
}

float AudioRecorder::level(const AudioBuffer& buffer)
{
    const std::uint32_t frames = buffer.frameLength();
    if (frames == 0 || buffer.format().channelCount == 0) {
        return 0.0f;
    }
    double sumOfSquares = 0.0;
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const double sample = buffer.sample(0, frame);
        sumOfSquares += sample * sample;
    }
    const double rms = std::sqrt(sumOfSquares / frames);
    const double decibels = 20.0 * std::log10(std::max(rms, 1e-7));
    return float(std::clamp((decibels + 50.0) / 50.0, 0.0, 1.0));
}

} // namespace sayloom
