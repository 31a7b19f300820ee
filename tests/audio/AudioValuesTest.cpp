#include "AudioTestSupport.h"
#include "audio/AudioConversionError.h"
#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "audio/AudioRecorderError.h"
#include "audio/MicrophonePreference.h"
#include "integration/support/AudioSignals.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

TEST(AudioBuffer, ReadsSamplesInEitherLayoutAndTypeAndDropsAPartialFrame)
{
    // Two frames of three channels; channel c of frame f holds (f + 1) * 0.1 + c * 0.01 (scaled for int16).
    const AudioBuffer a({48000, 3, SampleType::float32, true}, std::vector<float>{.10f, .11f, .12f, .20f, .21f, .22f});
    const AudioBuffer b({48000, 3, SampleType::float32, false}, std::vector<float>{.10f, .20f, .11f, .21f, .12f, .22f});
    const AudioBuffer c({48000, 3, SampleType::float32, true},
                        std::vector<std::int16_t>{3277, 3604, 3932, 6554, 6881, 7209, 1});
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
    // The sample type follows the samples, whatever the format said; the partial frame is gone.
    EXPECT_EQ(c.format().sampleType, SampleType::int16);
    EXPECT_TRUE(c.floatSamples().empty());
    EXPECT_EQ(c.int16Samples().size(), 6u);
    EXPECT_EQ(AudioBuffer({16000, 0, SampleType::float32, true}, std::vector<float>{1, 2}).frameLength(), 0u);
}

TEST(AudioDevices, TransportFollowsTheBusThenTheFormFactor)
{
    EXPECT_EQ(Transport::builtIn, 0x626C746Eu) << "the first character is the most significant byte";
    EXPECT_EQ(Transport::text(0), u"0x0"_s);
    const struct {
        const char* name;
        AudioDevices::Properties properties;
        std::uint32_t expected;
    } cases[] = {
            {"nothing", {}, Transport::none},
            {"PulseAudio headset",
             {{"device.bus", "bluetooth"},
              {"bluetooth.protocol", "headset_head_unit"},
              {"device.form_factor", "headset"}},
             Transport::bluetooth},
            {"PipeWire headset",
             {{"device.bus", "bluetooth"}, {"api.bluez5.profile", "headset-head-unit"}, {"api.bluez5.codec", "msbc"}},
             Transport::bluetooth},
            {"LE profile", {{"device.bus", "bluetooth"}, {"api.bluez5.profile", "bap-source"}}, Transport::bluetoothLE},
            {"LE card profile",
             {{"device.bus", "bluetooth"}, {"device.profile.name", "bap-duplex"}},
             Transport::bluetoothLE},
            {"LC3 codec", {{"device.bus", "bluetooth"}, {"api.bluez5.codec", "lc3"}}, Transport::bluetoothLE},
            {"LE profile off Bluetooth", {{"device.bus", "usb"}, {"api.bluez5.profile", "bap-source"}}, Transport::usb},
            {"Bluetooth over internal",
             {{"device.bus", "bluetooth"}, {"device.form_factor", "internal"}},
             Transport::bluetooth},
            {"USB over internal", {{"device.bus", "usb"}, {"device.form_factor", "internal"}}, Transport::usb},
            {"internal on another bus",
             {{"device.bus", "firewire"}, {"device.form_factor", "internal"}},
             Transport::builtIn},
            {"PCI card", {{"device.bus", "pci"}}, Transport::builtIn},
            {"SoC codec", {{"device.bus", "platform"}}, Transport::builtIn},
            {"other bus", {{"device.bus", "firewire"}}, Transport::none},
            {"case matters", {{"device.bus", "USB"}}, Transport::none},
    };
    for (const auto& [name, properties, expected] : cases) {
        EXPECT_EQ(Transport::text(AudioDevices::transport(properties)), Transport::text(expected)) << name;
    }
}

TEST(MicrophonePreference, ReadsAndWritesTheStoredSetting)
{
    const struct {
        std::optional<QString> stored;
        MicrophonePreference expected;
        QString written;
    } cases[] = {
            {std::nullopt, MicrophonePreference::automatic(), u"automatic"_s},
            {u"automatic"_s, MicrophonePreference::automatic(), u"automatic"_s},
            {u"system"_s, MicrophonePreference::systemDefault(), u"system"_s},
            {u"System"_s, MicrophonePreference::device(u"System"_s), u"System"_s},
            {u"Automatic"_s, MicrophonePreference::device(u"Automatic"_s), u"Automatic"_s},
            {u"alsa_input.usb-Blue_Yeti"_s, MicrophonePreference::device(u"alsa_input.usb-Blue_Yeti"_s),
             u"alsa_input.usb-Blue_Yeti"_s},
            {u""_s, MicrophonePreference::device(u""_s), u""_s},
    };
    for (const auto& [stored, expected, written] : cases) {
        const MicrophonePreference preference(stored);
        EXPECT_EQ(preference, expected) << stored.value_or(u"(nothing)"_s).toStdString();
        EXPECT_EQ(preference.storedValue(), written);
    }
    const QSet<MicrophonePreference> set{MicrophonePreference::automatic(), MicrophonePreference::systemDefault(),
                                         MicrophonePreference::device(u"a"_s), MicrophonePreference::device(u"b"_s)};
    EXPECT_EQ(set.size(), 4);
    EXPECT_TRUE(set.contains(MicrophonePreference(u"a"_s)));
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

// Stereo, interleaved, alternating in sign: one level per channel.
AudioBufferPtr stereo(float left, float right)
{
    std::vector<float> samples;
    for (int i = 0; i < 480; ++i) {
        const float sign = i % 2 ? -1.0f : 1.0f;
        samples.insert(samples.end(), {sign * left, sign * right});
    }
    return makeBuffer({48000, 2, SampleType::float32, true}, std::move(samples));
}

TEST(AudioRecorder, LevelIsLinearInDecibelsFromMinus50To0OnTheFirstChannel)
{
    constexpr AudioFormat mono{16000, 1, SampleType::float32, false};
    const auto square = [&](float rms) { return makeBuffer(mono, AudioSignals::square(100, 16000, 320, rms)); };
    const struct {
        const char* name;
        AudioBufferPtr buffer;
        float expected;
    } cases[] = {
            {"silence", makeBuffer(mono, std::vector<float>(320, 0.0f)), 0.0f},
            {"empty", makeBuffer(mono, std::vector<float>{}), 0.0f},
            {"full scale", square(1.0f), 1.0f},
            {"rms 0.1", square(0.1f), 0.6f},
            {"rms 0.01", square(0.01f), 0.2f},
            {"below -50 dB", makeBuffer(mono, std::vector<float>(320, 0.001f)), 0.0f},
            {"above full scale", makeBuffer(mono, std::vector<float>(320, 2.0f)), 1.0f},
            {"loud first channel", stereo(0.1f, 0.0f), 0.6f},
            {"silent first channel", stereo(0.0f, 1.0f), 0.0f},
    };
    for (const auto& [name, buffer, expected] : cases) {
        EXPECT_NEAR(AudioRecorder::level(*buffer), expected, 1e-4f) << name;
    }
}

} // namespace
