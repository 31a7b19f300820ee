#include "audio/AudioBuffer.h"

#include <algorithm>
#include <limits>

namespace sayloom {

namespace {

template <typename Sample>
std::uint32_t wholeFrames(const AudioFormat& format, std::vector<Sample>& samples)
{
    if (format.channelCount == 0) {
        samples.clear();
        return 0;
    }
    const std::size_t frames =
            std::min<std::size_t>(samples.size() / format.channelCount, std::numeric_limits<std::uint32_t>::max());
    samples.resize(frames * format.channelCount);
    return static_cast<std::uint32_t>(frames);
}

} // namespace

AudioBuffer::AudioBuffer(AudioFormat format, std::vector<float> samples)
    : m_format(format)
{
    m_format.sampleType = SampleType::float32;
    m_frameLength = wholeFrames(m_format, samples);
    m_samples = std::move(samples);
}

AudioBuffer::AudioBuffer(AudioFormat format, std::vector<std::int16_t> samples)
    : m_format(format)
{
    m_format.sampleType = SampleType::int16;
    m_frameLength = wholeFrames(m_format, samples);
    m_samples = std::move(samples);
}

std::span<const float> AudioBuffer::floatSamples() const
{
    if (const auto* samples = std::get_if<std::vector<float>>(&m_samples)) {
        return *samples;
    }
    return {};
}

std::span<const std::int16_t> AudioBuffer::int16Samples() const
{
    if (const auto* samples = std::get_if<std::vector<std::int16_t>>(&m_samples)) {
        return *samples;
    }
    return {};
}

std::size_t AudioBuffer::indexOf(std::uint32_t channel, std::uint32_t frame) const
{
    if (m_format.interleaved) {
        return std::size_t(frame) * m_format.channelCount + channel;
    }
    return std::size_t(channel) * m_frameLength + frame;
}

float AudioBuffer::sample(std::uint32_t channel, std::uint32_t frame) const
{
    if (channel >= m_format.channelCount || frame >= m_frameLength) {
        return 0.0f;
    }
    const std::size_t index = indexOf(channel, frame);
    if (const auto* samples = std::get_if<std::vector<float>>(&m_samples)) {
        return (*samples)[index];
    }
    return float(std::get<std::vector<std::int16_t>>(m_samples)[index]) / 32768.0f;
}

} // namespace sayloom
