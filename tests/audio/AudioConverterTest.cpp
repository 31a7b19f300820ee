#include "audio/AudioConverter.h"

#include "AudioTestSupport.h"
#include "integration/support/AudioSignals.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

using namespace sayloom;

namespace {

constexpr AudioFormat recognizer{16000, 1, SampleType::float32, false};

// A converter that cannot be made, or a conversion that fails, ends the test with std::bad_variant_access.
AudioConverter converter(const AudioFormat& input, const AudioFormat& output = recognizer)
{
    return std::get<AudioConverter>(AudioConverter::make(input, output));
}

AudioBufferPtr converted(AudioConverter& converter, const AudioBufferPtr& buffer)
{
    return std::get<AudioBufferPtr>(converter.convert(buffer));
}

// `signal[from, from + count)` in every channel of `format`, laid out and typed as it says.
AudioBufferPtr bufferOf(const AudioFormat& format, const std::vector<float>& signal, std::size_t from,
                        std::size_t count)
{
    std::vector<float> samples(count * format.channelCount);
    for (std::size_t frame = 0; frame < count; ++frame) {
        for (std::uint32_t channel = 0; channel < format.channelCount; ++channel) {
            samples[format.interleaved ? frame * format.channelCount + channel : channel * count + frame] =
                    signal[from + frame];
        }
    }
    if (format.sampleType == SampleType::int16) {
        return makeBuffer(format, AudioSignals::toInt16(samples));
    }
    return makeBuffer(format, std::move(samples));
}

// `signal` converted to the recogniser's format in pieces of `piece` frames (all at once when 0), with an empty
// buffer before every fifth piece, the first included, as a capture with nothing to deliver would send.
std::vector<float> convertInPieces(const AudioFormat& input, const std::vector<float>& signal, std::size_t piece)
{
    AudioConverter made = converter(input);
    std::vector<float> output;
    const std::size_t step = piece == 0 ? signal.size() : piece;
    for (std::size_t from = 0; from < signal.size(); from += step) {
        std::vector<AudioBufferPtr> inputs;
        if (piece != 0 && from / step % 5 == 0) {
            inputs.push_back(bufferOf(input, signal, 0, 0));
        }
        inputs.push_back(bufferOf(input, signal, from, std::min(step, signal.size() - from)));
        for (const AudioBufferPtr& buffer : inputs) {
            const AudioBufferPtr out = converted(made, buffer);
            EXPECT_EQ(out->format(), recognizer);
            output.insert(output.end(), out->floatSamples().begin(), out->floatSamples().end());
        }
    }
    return output;
}

TEST(AudioConverter, PassesEqualFormatsThroughAndRefusesWhatItCannotRead)
{
    AudioConverter same = converter(recognizer);
    EXPECT_TRUE(same.isPassThrough());
    const AudioBufferPtr buffer = makeBuffer(recognizer, AudioSignals::sine(440, 16000, 320));
    EXPECT_EQ(converted(same, buffer), buffer);
    for (const AudioFormat& bad :
         {AudioFormat{0, 1, SampleType::float32, false}, AudioFormat{16000, 0, SampleType::float32, false}}) {
        for (const auto& [input, output] : {std::pair(bad, recognizer), std::pair(recognizer, bad)}) {
            auto made = AudioConverter::make(input, output);
            ASSERT_TRUE(std::holds_alternative<AudioConversionError>(made));
            EXPECT_EQ(std::get<AudioConversionError>(made), AudioConversionError::unsupportedFormat());
        }
    }
    // A buffer in another format than the converter's input is refused rather than misread.
    AudioConverter resampling = converter({48000, 2, SampleType::float32, true});
    const AudioBufferPtr other = makeBuffer({44100, 2, SampleType::int16, true}, std::vector<std::int16_t>(882));
    for (AudioConverter* made : {&same, &resampling}) {
        for (const AudioBufferPtr& refused : {other, AudioBufferPtr()}) {
            auto result = made->convert(refused);
            ASSERT_TRUE(std::holds_alternative<AudioConversionError>(result));
            EXPECT_EQ(std::get<AudioConversionError>(result).kind(), AudioConversionError::Kind::conversionFailed);
        }
    }
}

TEST(AudioConverter, OutputCapacityIsTheScaledLengthRoundedUpPlusOne)
{
    EXPECT_EQ(AudioConverter::outputCapacity(48000, 16000, 480), 161u);
    EXPECT_EQ(AudioConverter::outputCapacity(44100, 16000, 4096), 1488u);
    EXPECT_EQ(AudioConverter::outputCapacity(16000, 16000, 320), 321u);
    EXPECT_EQ(AudioConverter::outputCapacity(8000, 16000, 160), 321u);
    EXPECT_EQ(AudioConverter::outputCapacity(48000, 16000, 0), 1u);
    EXPECT_EQ(AudioConverter::outputCapacity(1, 96000, 4'000'000'000u), std::nullopt);
}

class AudioConverterInput : public testing::TestWithParam<AudioFormat> {};

// A 440 Hz tone in 480-frame buffers (with empty ones between) comes out at 16 kHz mono as a clean 440 Hz tone of
// the same loudness, in step with real time; and buffer boundaries are invisible: noise converted in 480-frame
// buffers and in one piece gives the same frames.
TEST_P(AudioConverterInput, KeepsAToneCleanAndBufferBoundariesInvisible)
{
    const AudioFormat& input = GetParam();
    const int rate = int(input.sampleRate);
    const std::vector<float> tone = convertInPieces(input, AudioSignals::sine(440.0, rate, 2 * std::size_t(rate)), 480);
    // The resampler holds back its filter delay (tens of milliseconds at most), never more.
    EXPECT_LE(tone.size(), 2 * 16000u);
    ASSERT_GE(tone.size(), 2 * 16000u - 16000 / 10);
    // A second from the middle, past the filter's start-up: 440 whole cycles, so whatever is not the tone (a lost,
    // doubled or clicking sample) is the energy the tone leaves over.
    const std::vector<float> second(tone.begin() + 4000, tone.begin() + 4000 + 16000);
    const double amplitude = AudioSignals::toneAmplitude(second, 440.0, 16000);
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_NEAR(AudioSignals::risingZeroCrossings(second), 440, 1) << "one may fall on the window's edge";
    const double energy = std::inner_product(second.begin(), second.end(), second.begin(), 0.0) / 16000.0;
    const double residual = std::sqrt(std::max(0.0, energy - amplitude * amplitude / 2.0));
    EXPECT_LT(residual, input.sampleType == SampleType::int16 ? 3e-4 : 1e-4);

    const std::vector<float> noise = AudioSignals::noise(3 * input.sampleRate, 0.5f, 7);
    EXPECT_THAT(convertInPieces(input, noise, 480),
                testing::Pointwise(testing::FloatNear(1e-5f), convertInPieces(input, noise, 0)));
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioConverterInput,
                         testing::Values(AudioFormat{48000, 2, SampleType::float32, true},
                                         AudioFormat{44100, 1, SampleType::int16, true},
                                         AudioFormat{11025, 1, SampleType::float32, false},
                                         AudioFormat{96000, 2, SampleType::int16, false},
                                         AudioFormat{22050, 3, SampleType::float32, false},
                                         AudioFormat{8000, 1, SampleType::float32, false},
                                         AudioFormat{16000, 2, SampleType::int16, true},
                                         AudioFormat{16000, 1, SampleType::float32, true}));

// At one rate the values are exact: channels mix down by averaging, and int16 output rounds and clips.
TEST(AudioConverter, MixesDownByAveragingAndRoundsAndClipsInt16)
{
    // Three channels of (0.3, 0.6, -0.9) and (0.1, 0.2, 0.5).
    const AudioBufferPtr three =
            makeBuffer({16000, 3, SampleType::float32, true}, std::vector<float>{0.3f, 0.6f, -0.9f, 0.1f, 0.2f, 0.5f});
    AudioConverter toMono = converter(three->format());
    const AudioBufferPtr mono = converted(toMono, three);
    ASSERT_EQ(mono->frameLength(), 2u);
    EXPECT_NEAR(mono->sample(0, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(mono->sample(0, 1), 0.8f / 3.0f, 1e-6f);

    AudioConverter toInt16 = converter(recognizer, {16000, 1, SampleType::int16, true});
    const auto out =
            converted(toInt16, makeBuffer(recognizer, std::vector<float>{1.0f, -1.0f, 0.5f, 2.0f, -3.0f, 0.0f}));
    EXPECT_EQ(std::vector<std::int16_t>(out->int16Samples().begin(), out->int16Samples().end()),
              (std::vector<std::int16_t>{32767, -32768, 16384, 32767, -32768, 0}));
}

} // namespace
