#include "AudioRecorder.h"
#include "AudioSignals.h"
#include "AudioTestSupport.h"

#include <gtest/gtest.h>

using namespace sayloom;

namespace {

constexpr AudioFormat mono{16000, 1, SampleType::float32, false};

struct LevelCase {
    const char* name;
    AudioBufferPtr buffer;
    float expected;
};

void PrintTo(const LevelCase& test, std::ostream* out)
{
    *out << test.name;
}

class AudioRecorderLevel : public testing::TestWithParam<LevelCase> {};

TEST_P(AudioRecorderLevel, IsLinearInDecibelsFromMinus50To0)
{
    EXPECT_NEAR(AudioRecorder::level(*GetParam().buffer), GetParam().expected, 1e-4f);
}

// Stereo, interleaved: a loud left channel and a silent right one, or the other way round.
AudioBufferPtr stereo(float left, float right)
{
    std::vector<float> samples;
    for (int i = 0; i < 480; ++i) {
        const float sign = i % 2 ? -1.0f : 1.0f;
        samples.push_back(sign * left);
        samples.push_back(sign * right);
    }
    return makeBuffer({48000, 2, SampleType::float32, true}, std::move(samples));
}

INSTANTIATE_TEST_SUITE_P(
        Buffers, AudioRecorderLevel,
        testing::Values(LevelCase{"Silence", makeBuffer(mono, std::vector<float>(320, 0.0f)), 0.0f},
                        LevelCase{"Empty", makeBuffer(mono, std::vector<float>{}), 0.0f},
                        LevelCase{"FullScaleSquare", makeBuffer(mono, AudioSignals::square(100, 16000, 320, 1.0f)),
                                  1.0f},
                        LevelCase{"Rms0.1", makeBuffer(mono, AudioSignals::square(100, 16000, 320, 0.1f)), 0.6f},
                        LevelCase{"Rms0.01", makeBuffer(mono, AudioSignals::square(100, 16000, 320, 0.01f)), 0.2f},
                        LevelCase{"Rms0.5", makeBuffer(mono, AudioSignals::square(100, 16000, 320, 0.5f)), 0.87959f},
                        LevelCase{"Minus50dBIsTheFloor", makeBuffer(mono, std::vector<float>(320, 0.00316228f)), 0.0f},
                        LevelCase{"BelowTheFloor", makeBuffer(mono, std::vector<float>(320, 0.001f)), 0.0f},
                        LevelCase{"AboveFullScaleClamps", makeBuffer(mono, std::vector<float>(320, 2.0f)), 1.0f},
                        LevelCase{"FirstChannelOnlyLoud", stereo(0.1f, 0.0f), 0.6f},
                        LevelCase{"FirstChannelOnlySilent", stereo(0.0f, 1.0f), 0.0f}),
        [](const auto& row) {
            std::string name = row.param.name;
            std::erase(name, '.');
            return name;
        });

} // namespace
