#include "cli/AudioFile.h"

#include <QFile>

#include <memory>
#include <sndfile.h>
#include <vector>

namespace sayloom {

namespace {

struct CloseFile {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

QString failure(const QString& path, const char* reason)
{
    return u"Can't read \u201C" + path + u"\u201D: " + QString::fromUtf8(reason);
}

} // namespace

std::variant<AudioFile::Streamed, QString> AudioFile::stream(const QString& path)
{
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, CloseFile> file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
    if (!file) {
        return failure(path, sf_strerror(nullptr));
    }
    if (info.samplerate <= 0 || info.channels <= 0) {
        return failure(path, "no sample rate or no channels");
    }
    // Mono is the same in either layout; calling it non-interleaved lets 16 kHz mono files pass the engine's
    // converter untouched, like the microphone's audio.
    const AudioFormat format{.sampleRate = std::uint32_t(info.samplerate),
                             .channelCount = std::uint32_t(info.channels),
                             .sampleType = SampleType::float32,
                             .interleaved = info.channels > 1};

    auto [stream, continuation] = AudioStream::make();
    sf_count_t position = 0;
    // Some containers do not know their length up front; their end shows as an empty read.
    while (position < info.frames) {
        std::vector<float> samples(std::size_t(chunkFrames) * std::size_t(info.channels));
        const sf_count_t frames = sf_readf_float(file.get(), samples.data(), chunkFrames);
        if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
            return failure(path, sf_strerror(file.get()));
        }
        if (frames <= 0) {
            break;
        }
        samples.resize(std::size_t(frames) * std::size_t(info.channels));
        continuation.yield(AudioChunk{std::make_shared<const AudioBuffer>(format, std::move(samples))});
        position += frames;
    }
    // The engine would blame the microphone for an empty take; here the file is to blame.
    if (position == 0) {
        return failure(path, "the file holds no audio");
    }
    continuation.finish();
    const auto duration = std::chrono::milliseconds(position * 1000 / info.samplerate);
    return Streamed{std::move(stream), format, duration};
}

} // namespace sayloom
