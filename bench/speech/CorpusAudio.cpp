#include "CorpusAudio.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <sndfile.h>
#include <thread>

namespace sayloom {

using Clock = std::chrono::steady_clock;

CorpusAudio CorpusAudio::load(const QString& path)
{
    CorpusAudio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        return audio;
    }
    audio.m_format = {std::uint32_t(info.samplerate), std::uint32_t(info.channels), SampleType::float32,
                      info.channels > 1};
    audio.m_samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
    const sf_count_t frames = std::max<sf_count_t>(sf_readf_float(file, audio.m_samples.data(), info.frames), 0);
    sf_close(file);
    audio.m_samples.resize(std::size_t(frames) * std::size_t(info.channels));
    audio.m_seconds = double(frames) / info.samplerate;
    return audio;
}

std::vector<AudioChunk> CorpusAudio::chunks(std::size_t frames) const
{
    std::vector<AudioChunk> result;
    const std::size_t step = frames * m_format.channelCount;
    for (std::size_t at = 0; at < m_samples.size(); at += step) {
        std::vector<float> piece(m_samples.begin() + std::ptrdiff_t(at),
                                 m_samples.begin() + std::ptrdiff_t(std::min(at + step, m_samples.size())));
        result.push_back(AudioChunk{std::make_shared<const AudioBuffer>(m_format, std::move(piece))});
    }
    return result;
}

QCoro::Task<std::optional<double>> CorpusAudio::finalisationSeconds(TranscriptionEngine& engine) const
{
    auto [stream, continuation] = AudioStream::make();
    auto finishedAt = std::make_shared<std::atomic<Clock::rep>>(0);
    std::jthread feeder([continuation, pieces = chunks(m_format.sampleRate / 10), finishedAt](std::stop_token stop) {
        auto due = Clock::now();
        for (const AudioChunk& piece : pieces) {
            // A buffer is there once its last frame has been spoken.
            due += std::chrono::nanoseconds(std::int64_t(piece.buffer->frameLength()) * 1'000'000'000 /
                                            piece.buffer->format().sampleRate);
            std::this_thread::sleep_until(due);
            if (stop.stop_requested()) {
                break;
            }
            continuation.yield(piece);
        }
        finishedAt->store(Clock::now().time_since_epoch().count());
        continuation.finish();
    });
    try {
        QCoro::Task<QString> transcribing = engine.transcribe(std::move(stream), m_format, {}, [](const QString&) {});
        co_await transcribing;
    } catch (const TranscriptionError&) {
        co_return std::nullopt;
    }
    const Clock::time_point finished{Clock::duration(finishedAt->load())};
    co_return std::chrono::duration<double>(Clock::now() - finished).count();
}

} // namespace sayloom
