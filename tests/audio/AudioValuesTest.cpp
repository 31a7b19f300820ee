#include "AudioConversionError.h"
#include "AudioRecorderError.h"
#include "AudioTestSupport.h"
#include "MicrophonePreference.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

TEST(AudioBuffer, ReadsSamplesInEitherLayoutAndType)
{
    // Two frames of three channels; channel c of frame f holds (f + 1) * 0.1 + c * 0.01 (scaled for int16).
    const std::vector<float> interleaved = {0.10f, 0.11f, 0.12f, 0.20f, 0.21f, 0.22f};
    const std::vector<float> planar = {0.10f, 0.20f, 0.11f, 0.21f, 0.12f, 0.22f};
    const AudioBuffer a({48000, 3, SampleType::float32, true}, interleaved);
    const AudioBuffer b({48000, 3, SampleType::float32, false}, planar);
    const AudioBuffer c({48000, 3, SampleType::float32, true},
                        std::vector<std::int16_t>{3277, 3604, 3932, 6554, 6881, 7209});
    for (const AudioBuffer* buffer : {&a, &b, &c}) {
        ASSERT_EQ(buffer->frameLength(), 2u);
        for (std::uint32_t frame = 0; frame < 2; ++frame) {
            for (std::uint32_t channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(buffer->sample(channel, frame), 0.1f * float(frame + 1) + 0.01f * float(channel), 1e-4f);
            }
        }
        EXPECT_EQ(buffer->sample(3, 0), 0.0f) << "no such channel";
        EXPECT_EQ(buffer->sample(0, 2), 0.0f) << "no such frame";
    }
    // The sample type follows the samples, whatever the format said.
    EXPECT_EQ(c.format().sampleType, SampleType::int16);
    EXPECT_TRUE(c.floatSamples().empty());
    EXPECT_EQ(c.int16Samples().size(), 6u);
}

TEST(AudioBuffer, DropsATrailingPartialFrame)
{
    const AudioBuffer buffer({16000, 2, SampleType::float32, true}, std::vector<float>{1, 2, 3, 4, 5});
    EXPECT_EQ(buffer.frameLength(), 2u);
    EXPECT_EQ(buffer.floatSamples().size(), 4u);
    const AudioBuffer noChannels({16000, 0, SampleType::float32, true}, std::vector<float>{1, 2});
    EXPECT_EQ(noChannels.frameLength(), 0u);
}

TEST(Transport, CodesPackTheFirstCharacterHighest)
{
    EXPECT_EQ(fourCharCode("dev#"), 0x64657623u);
    EXPECT_EQ(Transport::bluetoothLE, 0x626C6561u);
    EXPECT_EQ(Transport::text(Transport::usb), u"usb "_s);
    EXPECT_EQ(Transport::text(0), u"0x0"_s);
}

struct StoredCase {
    std::optional<QString> stored;
    MicrophonePreference expected;
    // What it is written back as.
    QString written;
};

class MicrophonePreferenceStored : public testing::TestWithParam<StoredCase> {};

TEST_P(MicrophonePreferenceStored, ReadsAndWritesTheSetting)
{
    const MicrophonePreference preference(GetParam().stored);
    EXPECT_EQ(preference, GetParam().expected);
    EXPECT_EQ(preference.storedValue(), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
        Settings, MicrophonePreferenceStored,
        testing::Values(StoredCase{std::nullopt, MicrophonePreference::automatic(), u"automatic"_s},
                        StoredCase{u"automatic"_s, MicrophonePreference::automatic(), u"automatic"_s},
                        StoredCase{u"system"_s, MicrophonePreference::systemDefault(), u"system"_s},
                        StoredCase{u"System"_s, MicrophonePreference::device(u"System"_s), u"System"_s},
                        StoredCase{u"Automatic"_s, MicrophonePreference::device(u"Automatic"_s), u"Automatic"_s},
                        StoredCase{u"alsa_input.usb-Blue_Yeti"_s,
                                   MicrophonePreference::device(u"alsa_input.usb-Blue_Yeti"_s),
                                   u"alsa_input.usb-Blue_Yeti"_s},
                        StoredCase{u""_s, MicrophonePreference::device(u""_s), u""_s}));

TEST(MicrophonePreference, EqualPreferencesHashAlike)
{
    QSet<MicrophonePreference> set{MicrophonePreference::automatic(), MicrophonePreference::systemDefault(),
                                   MicrophonePreference::device(u"a"_s), MicrophonePreference::device(u"b"_s)};
    EXPECT_EQ(set.size(), 4);
    EXPECT_TRUE(set.contains(MicrophonePreference(u"a"_s)));
    EXPECT_TRUE(set.contains(MicrophonePreference(std::nullopt)));
    EXPECT_EQ(qHash(MicrophonePreference::device(u"x"_s)), qHash(MicrophonePreference(u"x"_s)));
    EXPECT_NE(MicrophonePreference::device(u"automatic"_s), MicrophonePreference::automatic());
}

TEST(AudioErrors, DescribeThemselvesForTheUser)
{
    EXPECT_EQ(AudioRecorderError::noMicrophone().description(), u"No microphone found"_s);
    EXPECT_EQ(AudioRecorderError::cannotUse(u"USB Microphone"_s).description(), u"Can't record from USB Microphone"_s);
    EXPECT_EQ(AudioRecorderError::soundServer(u"Connection refused"_s).description(), u"Connection refused"_s);
    EXPECT_EQ(AudioConversionError::unsupportedFormat().description(),
              u"Can't convert microphone audio to the recognizer's format"_s);
    EXPECT_EQ(AudioConversionError::conversionFailed(u"bad ratio"_s).description(),
              u"Audio conversion failed: bad ratio"_s);
    EXPECT_EQ(AudioConversionError::conversionFailed(std::nullopt).description(),
              u"Audio conversion failed: unknown"_s);
}

} // namespace
