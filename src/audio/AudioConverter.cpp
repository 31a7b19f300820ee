#include "audio/AudioConverter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <soxr.h>
#include <vector>

namespace sayloom {

namespace {

// Medium quality: 16-bit precision, linear phase, flat to 91% of the output's Nyquist frequency (7.3 kHz at
// 16 kHz), which is all a recogniser at 16 kHz can use. It costs about what the high setting costs but holds
// back half as much audio in its filter (13 against 26 ms from 48 kHz), and that delay is latency for the
// live transcript and, never flushed, the tail of each take.
constexpr unsigned long resamplingQuality = SOXR_MQ;

// The input's channels mixed (or spread) to `channels`, as floats, frame after frame.
std::vector<float> mixedInterleaved(const AudioBuffer& buffer, std::uint32_t channels)
{
    const std::uint32_t frames = buffer.frameLength();
    const std::uint32_t inputChannels = buffer.format().channelCount;
    std::vector<float> mixed(std::size_t(frames) * channels);
    // Already floats in the right order (one channel has but one order).
    const bool interleaved = buffer.format().interleaved || inputChannels == 1;
    if (inputChannels == channels && interleaved && !buffer.floatSamples().empty()) {
        std::ranges::copy(buffer.floatSamples(), mixed.begin());
        return mixed;
    }
    for (std::uint32_t out = 0; out < channels; ++out) {
        // Fewer output channels: each is the average of the inputs that fold onto it (all of them for mono).
        // More: the inputs repeat across the outputs.
        std::vector<std::uint32_t> sources;
        if (inputChannels >= channels) {
            for (std::uint32_t in = out; in < inputChannels; in += channels) {
                sources.push_back(in);
            }
        } else {
            sources.push_back(out % inputChannels);
        }
        const float scale = 1.0f / float(sources.size());
        for (std::uint32_t frame = 0; frame < frames; ++frame) {
            float sum = 0.0f;
            for (const std::uint32_t in : sources) {
                sum += buffer.sample(in, frame);
            }
            mixed[std::size_t(frame) * channels + out] = sources.size() == 1 ? sum : sum * scale;
        }
    }
    return mixed;
}

std::int16_t toInt16(float sample)
{
    const float scaled = std::nearbyint(sample * 32768.0f);
    return std::int16_t(std::clamp(scaled, -32768.0f, 32767.0f));
}

template <typename Sample, typename Convert>
std::vector<Sample> laidOut(const std::vector<float>& interleaved, std::uint32_t frames, const AudioFormat& format,
                            Convert convert)
{
    const std::uint32_t channels = format.channelCount;
    std::vector<Sample> samples(std::size_t(frames) * channels);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        for (std::uint32_t channel = 0; channel < channels; ++channel) {
            const std::size_t to = format.interleaved ? std::size_t(frame) * channels + channel
                                                      : std::size_t(channel) * frames + frame;
            samples[to] = convert(interleaved[std::size_t(frame) * channels + channel]);
        }
    }
    return samples;
}

AudioBufferPtr bufferOf(const std::vector<float>& interleaved, std::uint32_t frames, const AudioFormat& format)
{
    if (format.sampleType == SampleType::int16) {
        return std::make_shared<const AudioBuffer>(format, laidOut<std::int16_t>(interleaved, frames, format, toInt16));
    }
    if (format.interleaved || format.channelCount == 1) {
        std::vector<float> samples(interleaved.begin(),
                                   interleaved.begin() + std::size_t(frames) * format.channelCount);
        return std::make_shared<const AudioBuffer>(format, std::move(samples));
    }
    return std::make_shared<const AudioBuffer>(format, laidOut<float>(interleaved, frames, format, std::identity()));
}

} // namespace

struct AudioConverter::Resampler {
    // None when the rates are equal: only the sample type, channels or layout change, which needs no filter.
    soxr_t soxr = nullptr;

    Resampler() = default;
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;
    ~Resampler() { soxr_delete(soxr); }
};

std::variant<AudioConverter, AudioConversionError> AudioConverter::make(const AudioFormat& input,
                                                                        const AudioFormat& output)
{
    if (!input.isValid() || !output.isValid()) {
        return AudioConversionError::unsupportedFormat();
    }
    if (input == output) {
        return AudioConverter(input, output, nullptr);
    }
    auto resampler = std::make_unique<Resampler>();
    if (input.sampleRate != output.sampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(resamplingQuality, 0);
        // One thread: conversion runs beside recognition, which wants the other cores.
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        resampler->soxr = soxr_create(double(input.sampleRate), double(output.sampleRate), output.channelCount, &error,
                                      &io, &quality, &runtime);
        if (error || !resampler->soxr) {
            return AudioConversionError::unsupportedFormat();
        }
    }
    return AudioConverter(input, output, std::move(resampler));
}

AudioConverter::AudioConverter(const AudioFormat& input, const AudioFormat& output,
                               std::unique_ptr<Resampler> resampler)
    : m_input(input)
    , m_output(output)
    , m_resampler(std::move(resampler))
{
}

AudioConverter::AudioConverter(AudioConverter&&) noexcept = default;
AudioConverter& AudioConverter::operator=(AudioConverter&&) noexcept = default;
AudioConverter::~AudioConverter() = default;

std::optional<std::uint32_t> AudioConverter::outputCapacity(std::uint32_t inputRate, std::uint32_t outputRate,
                                                            std::uint32_t frames)
{
    if (inputRate == 0) {
        return std::nullopt;
    }
    const double ratio = double(outputRate) / double(inputRate);
    const double capacity = std::ceil(ratio * double(frames)) + 1.0;
    if (capacity > double(std::numeric_limits<std::uint32_t>::max())) {
        return std::nullopt;
    }
    return std::uint32_t(capacity);
}

std::variant<AudioBufferPtr, AudioConversionError> AudioConverter::convert(const AudioBufferPtr& buffer)
{
    if (!buffer || buffer->format() != m_input) {
        // Reading samples of another layout as ours would produce garbage or read past the end.
        return AudioConversionError::conversionFailed(
                QStringLiteral("the buffer is not in the converter's input format"));
    }
    if (!m_resampler) {
        return buffer;
    }
    const std::uint32_t frames = buffer->frameLength();
    const std::optional<std::uint32_t> capacity = outputCapacity(m_input.sampleRate, m_output.sampleRate, frames);
    if (!capacity) {
        return AudioConversionError::unsupportedFormat();
    }
    const std::uint32_t channels = m_output.channelCount;
    std::vector<float> mixed = mixedInterleaved(*buffer, channels);
    if (!m_resampler->soxr) {
        return bufferOf(mixed, frames, m_output);
    }

    std::vector<float> resampled(std::size_t(*capacity) * channels);
    // An empty input must still be a real pointer: a null one would tell the resampler the input has ended.
    static const float noInput = 0.0f;
    const float* input = mixed.empty() ? &noInput : mixed.data();
    std::size_t consumed = 0;
    std::size_t produced = 0;
    soxr_error_t error =
            soxr_process(m_resampler->soxr, input, frames, &consumed, resampled.data(), *capacity, &produced);
    if (!error && consumed < frames) {
        // The capacity always leaves room for the whole input, so the resampler takes all of it; losing the
        // rest silently would cut a hole into the take.
        error = "the resampler did not take the whole buffer";
    }
    // The resampler filters in blocks, so a call may find more than the capacity ready. Leaving the surplus
    // inside would delay every later buffer by up to a block (tens of milliseconds) and keep that much more of
    // the take's end from ever coming out; it is fetched now, without marking the end of the input.
    while (!error && produced == resampled.size() / channels) {
        const std::size_t more = std::max<std::size_t>(*capacity, 256);
        resampled.resize((produced + more) * channels);
        std::size_t fetched = 0;
        error = soxr_process(m_resampler->soxr, &noInput, 0, &consumed, resampled.data() + produced * channels, more,
                             &fetched);
        produced += fetched;
        if (fetched < more) {
            break;
        }
    }
    if (error) {
        return AudioConversionError::conversionFailed(QString::fromUtf8(error));
    }
    return bufferOf(resampled, std::uint32_t(produced), m_output);
}

} // namespace sayloom
