#include "audio/AudioConverter.h"

#include "AudioTestSupport.h"
#include "integration/support/AudioSignals.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

constexpr AudioFormat recognizer{16000, 1, SampleType::float32, false};

AudioConverter makeConverter(const AudioFormat& input, const AudioFormat& output)
{
    auto made = AudioConverter::make(input, output);
    if (auto* error = std::get_if<AudioConversionError>(&made)) {
        ADD_FAILURE() << error->description().toStdString();
        return std::get<AudioConverter>(AudioConverter::make(output, output));
    }
    return std::move(std::get<AudioConverter>(made));
}

AudioBufferPtr converted(AudioConverter& converter, const AudioBufferPtr& buffer)
{
    auto result = converter.convert(buffer);
    if (auto* error = std::get_if<AudioConversionError>(&result)) {
        ADD_FAILURE() << error->description().toStdString();
        return nullptr;
    }
    return std::get<AudioBufferPtr>(result);
}

// `channels` channels all carrying the same mono signal, laid out and typed as `format` says.
AudioBufferPtr bufferOf(const AudioFormat& format, const std::vector<float>& signal, std::size_t from,
                        std::size_t count)
{
    std::vector<float> samples(count * format.channelCount);
    for (std::size_t frame = 0; frame < count; ++frame) {
        for (std::uint32_t channel = 0; channel < format.channelCount; ++channel) {
            const std::size_t at = format.interleaved ? frame * format.channelCount + channel : channel * count + frame;
            samples[at] = signal[from + frame];
        }
    }
    if (format.sampleType == SampleType::int16) {
        return makeBuffer(format, AudioSignals::toInt16(samples));
    }
    return makeBuffer(format, std::move(samples));
}

struct Conversion {
    std::vector<float> output;
    bool formatsRight = true;
};

// Converts `signal` in pieces of `piece` frames (all of it at once when 0); an empty buffer goes in before every
// fifth piece, the first included, as a capture callback with nothing to deliver would.
Conversion convertInPieces(const AudioFormat& input, const std::vector<float>& signal, std::size_t piece)
{
    AudioConverter converter = makeConverter(input, recognizer);
    Conversion result;
    const std::size_t step = piece == 0 ? signal.size() : piece;
    for (std::size_t from = 0, count = 0; from < signal.size(); from += step, ++count) {
        std::vector<AudioBufferPtr> inputs;
        if (piece != 0 && count % 5 == 0) {
            inputs.push_back(bufferOf(input, signal, 0, 0));
        }
        inputs.push_back(bufferOf(input, signal, from, std::min(step, signal.size() - from)));
        for (const AudioBufferPtr& buffer : inputs) {
            const AudioBufferPtr out = converted(converter, buffer);
            if (!out) {
                return result;
            }
            result.formatsRight = result.formatsRight && out->format() == recognizer;
            const std::vector<float> samples = channel(*out, 0);
            result.output.insert(result.output.end(), samples.begin(), samples.end());
        }
    }
    return result;
}

TEST(AudioConverter, EqualFormatsPassTheSameBufferThrough)
{
    AudioConverter converter = makeConverter(recognizer, recognizer);
    EXPECT_TRUE(converter.isPassThrough());
    const AudioBufferPtr buffer = makeBuffer(recognizer, AudioSignals::sine(440, 16000, 320));
    EXPECT_EQ(converted(converter, buffer), buffer);
}

TEST(AudioConverter, FormatsWithoutRateOrChannelsAreUnsupported)
{
    for (const AudioFormat& bad :
         {AudioFormat{0, 1, SampleType::float32, false}, AudioFormat{16000, 0, SampleType::float32, false}}) {
        for (const auto& [input, output] : {std::pair(bad, recognizer), std::pair(recognizer, bad)}) {
            auto made = AudioConverter::make(input, output);
            ASSERT_TRUE(std::holds_alternative<AudioConversionError>(made));
            EXPECT_EQ(std::get<AudioConversionError>(made), AudioConversionError::unsupportedFormat());
        }
    }
}

TEST(AudioConverter, RefusesABufferOfAnotherFormatInsteadOfMisreadingIt)
{
    const AudioFormat stereo{48000, 2, SampleType::float32, true};
    for (const AudioFormat& input : {stereo, recognizer}) {
        AudioConverter converter = makeConverter(input, recognizer);
        const AudioBufferPtr other = makeBuffer({44100, 2, SampleType::int16, true}, std::vector<std::int16_t>(882));
        auto result = converter.convert(other);
        ASSERT_TRUE(std::holds_alternative<AudioConversionError>(result));
        const AudioConversionError& error = std::get<AudioConversionError>(result);
        EXPECT_EQ(error.kind(), AudioConversionError::Kind::conversionFailed);
        EXPECT_TRUE(error.description().startsWith(u"Audio conversion failed: "_s));
        EXPECT_TRUE(std::holds_alternative<AudioConversionError>(converter.convert(nullptr)));
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
// the same loudness, in step with real time; and buffer boundaries are invisible: speech converted in 480-frame
// buffers and in one piece gives the same frames.
TEST_P(AudioConverterInput, KeepsAToneCleanAndBufferBoundariesInvisible)
{
    const AudioFormat& input = GetParam();
    const int rate = int(input.sampleRate);
    const Conversion tone = convertInPieces(input, AudioSignals::sine(440.0, rate, 2 * std::size_t(rate)), 480);
    EXPECT_TRUE(tone.formatsRight);
    // The resampler holds back its filter delay (tens of milliseconds at most), never more.
    EXPECT_LE(tone.output.size(), 2 * 16000u);
    ASSERT_GE(tone.output.size(), 2 * 16000u - 16000 / 10);
    // A second from the middle, past the filter's start-up: 440 whole cycles, so whatever is not the tone (a lost,
    // doubled or clicking sample) is the energy the tone leaves over.
    const std::vector<float> second(tone.output.begin() + 4000, tone.output.begin() + 4000 + 16000);
    const double amplitude = AudioSignals::toneAmplitude(second, 440.0, 16000);
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_NEAR(AudioSignals::risingZeroCrossings(second), 440, 1) << "one may fall on the window's edge";
    double energy = 0.0;
    for (const float sample : second) {
        energy += double(sample) * sample / double(second.size());
    }
    const double residual = std::sqrt(std::max(0.0, energy - amplitude * amplitude / 2.0));
    EXPECT_LT(residual, input.sampleType == SampleType::int16 ? 3e-4 : 1e-4);

    const std::vector<float> speech = AudioSignals::speechLike(rate, 3 * input.sampleRate);
    const Conversion pieces = convertInPieces(input, speech, 480);
    const Conversion whole = convertInPieces(input, speech, 0);
    ASSERT_EQ(pieces.output.size(), whole.output.size());
    for (std::size_t i = 0; i < whole.output.size(); ++i) {
        ASSERT_NEAR(pieces.output[i], whole.output[i], 1e-5f) << "frame " << i;
    }
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

TEST(AudioConverter, MixesChannelsDownByAveragingAndSpreadsThemUp)
{
    // Same rate, so the values are exact: three channels of (0.3, 0.6, -0.9) and (0.1, 0.2, 0.5).
    const AudioBufferPtr three =
            makeBuffer({16000, 3, SampleType::float32, true}, std::vector<float>{0.3f, 0.6f, -0.9f, 0.1f, 0.2f, 0.5f});
    AudioConverter toMono = makeConverter(three->format(), recognizer);
    const AudioBufferPtr mono = converted(toMono, three);
    ASSERT_TRUE(mono);
    EXPECT_NEAR(mono->sample(0, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(mono->sample(0, 1), 0.8f / 3.0f, 1e-6f);

    // Onto two channels the third folds onto the first: (-0.3, 0.6) and (0.3, 0.2), channel after channel.
    const AudioFormat stereoInt16{16000, 2, SampleType::int16, false};
    AudioConverter toStereo = makeConverter(three->format(), stereoInt16);
    const AudioBufferPtr stereo = converted(toStereo, three);
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->format(), stereoInt16);
    EXPECT_EQ(std::vector<std::int16_t>(stereo->int16Samples().begin(), stereo->int16Samples().end()),
              (std::vector<std::int16_t>{-9830, 9830, 19661, 6554}));

    AudioConverter upmix = makeConverter(recognizer, {16000, 2, SampleType::float32, true});
    const AudioBufferPtr both = converted(upmix, makeBuffer(recognizer, std::vector<float>{0.25f, -0.5f}));
    ASSERT_TRUE(both);
    EXPECT_EQ(std::vector<float>(both->floatSamples().begin(), both->floatSamples().end()),
              (std::vector<float>{0.25f, 0.25f, -0.5f, -0.5f}));
}

TEST(AudioConverter, Int16OutputRoundsAndClipsAndInt16RoundTripsExactly)
{
    const AudioFormat int16Mono{16000, 1, SampleType::int16, false};
    AudioConverter toInt16 = makeConverter(recognizer, int16Mono);
    const AudioBufferPtr out =
            converted(toInt16, makeBuffer(recognizer, std::vector<float>{1.0f, -1.0f, 0.5f, 2.0f, -3.0f, 0.0f}));
    ASSERT_TRUE(out);
    EXPECT_EQ(std::vector<std::int16_t>(out->int16Samples().begin(), out->int16Samples().end()),
              (std::vector<std::int16_t>{32767, -32768, 16384, 32767, -32768, 0}));

    AudioConverter back = makeConverter(int16Mono, recognizer);
    AudioConverter again = makeConverter(recognizer, int16Mono);
    const std::vector<std::int16_t> original = {-32768, -1, 0, 1, 12345, 32767};
    const AudioBufferPtr there = converted(back, makeBuffer(int16Mono, original));
    ASSERT_TRUE(there);
    const AudioBufferPtr home = converted(again, there);
    ASSERT_TRUE(home);
    EXPECT_EQ(std::vector<std::int16_t>(home->int16Samples().begin(), home->int16Samples().end()), original);
}

} // namespace
