#include "speech/TakeRecording.h"

#include "audio/AudioConverter.h"

#include <QPromise>

#include <cmath>
#include <thread>

namespace sayloom {

namespace {

AudioFormat serverFormat()
{
    return AudioFormat{TakeRecording::sampleRate, 1, SampleType::int16, true};
}

void copyTake(AudioStream audio, AudioStream::Continuation forward, std::stop_token stop, std::stop_token shutdown,
              QPromise<TakeRecording::Result> promise)
{
    std::stop_source stopping;
    const auto request = [&stopping] { stopping.request_stop(); };
    const std::stop_callback callerStop(stop, request);
    const std::stop_callback shutdownStop(shutdown, request);

    TakeRecording::Result result;
    std::optional<AudioConverter> converter;
    while (std::optional<AudioChunk> chunk = audio.next(stopping.get_token())) {
        forward.yield(*chunk);
        if (!chunk->buffer) {
            continue;
        }
        ++result.chunkCount;
        if (result.failure) {
            continue;
        }
        const AudioFormat& format = chunk->buffer->format();
        if (!converter || converter->inputFormat() != format) {
            auto made = AudioConverter::make(format, serverFormat());
            if (const auto* error = std::get_if<AudioConversionError>(&made)) {
                result.failure = error->description();
                continue;
            }
            converter.emplace(std::move(std::get<AudioConverter>(made)));
        }
        auto converted = converter->convert(chunk->buffer);
        if (const auto* error = std::get_if<AudioConversionError>(&converted)) {
            result.failure = error->description();
            continue;
        }
        const auto samples = std::get<AudioBufferPtr>(converted)->int16Samples();
        result.samples.insert(result.samples.end(), samples.begin(), samples.end());
    }
    forward.finish();
    result.stopped = !audio.atEnd();
    promise.addResult(std::move(result));
    promise.finish();
}

} // namespace

std::pair<QFuture<TakeRecording::Result>, AudioStream> TakeRecording::start(AudioStream audio, std::stop_token stop,
                                                                            std::stop_token shutdown)
{
    auto [forwarded, forward] = AudioStream::make();
    QPromise<Result> promise;
    QFuture<Result> future = promise.future();
    promise.start();
    std::thread(copyTake, std::move(audio), std::move(forward), std::move(stop), std::move(shutdown),
                std::move(promise))
            .detach();
    return {std::move(future), std::move(forwarded)};
}

std::chrono::milliseconds TakeRecording::duration(const std::vector<std::int16_t>& samples)
{
    return std::chrono::milliseconds(qint64(samples.size()) * 1000 / sampleRate);
}

bool TakeRecording::isSilent(const std::vector<std::int16_t>& samples)
{
    constexpr std::size_t window = sampleRate * 30 / 1000;
    // -45 dBFS, squared, times the window: compared without a square root.
    constexpr double threshold = 0.0056 * 32768.0;
    constexpr double loudEnergy = threshold * threshold * double(window);
    for (std::size_t start = 0; start < samples.size(); start += window) {
        const std::size_t end = std::min(samples.size(), start + window);
        double energy = 0;
        for (std::size_t i = start; i < end; ++i) {
            energy += double(samples[i]) * double(samples[i]);
        }
        if (energy * double(window) / double(end - start) > loudEnergy) {
            return false;
        }
    }
    return true;
}

} // namespace sayloom
