#include "AudioTestSupport.h"
#include "audio/AudioConversionError.h"
#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "audio/AudioRecorderError.h"
#include "audio/MicrophonePreference.h"
#include "integration/support/AudioSignals.h"

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

// Layouts and sample types are read in the converter's tests; here what a buffer makes of odd samples.
TEST(AudioBuffer, DropsAPartialFrameAndReadsNothingOutsideItsFrames)
{
    const AudioBuffer buffer({48000, 3, SampleType::float32, false},
                             std::vector<std::int16_t>{3277, 3604, 3932, 6554, 6881, 7209, 1});
    EXPECT_EQ(buffer.format().sampleType, SampleType::int16) << "the samples' type, whatever the format said";
    EXPECT_TRUE(buffer.floatSamples().empty());
    EXPECT_EQ(buffer.int16Samples().size(), 6u);
    ASSERT_EQ(buffer.frameLength(), 2u);
    EXPECT_NEAR(buffer.sample(1, 0), 0.12f, 1e-4f) << "channel after channel";
    EXPECT_EQ(buffer.sample(3, 0), 0.0f) << "no such channel";
    EXPECT_EQ(buffer.sample(0, 2), 0.0f) << "no such frame";
    EXPECT_EQ(AudioBuffer({16000, 0, SampleType::float32, true}, std::vector<float>{1, 2}).frameLength(), 0u);
}

// Properties written as pactl shows them, "key=value" apart by spaces.
AudioDevices::Properties properties(const char* pairs)
{
    AudioDevices::Properties result;
    for (const QString& pair : QString::fromLatin1(pairs).split(u' ', Qt::SkipEmptyParts)) {
        result.emplace(pair.section(u'=', 0, 0).toStdString(), pair.section(u'=', 1).toStdString());
    }
    return result;
}

TEST(AudioDevices, TransportFollowsTheBusThenTheFormFactor)
{
    EXPECT_EQ(Transport::builtIn, 0x626C746Eu) << "the first character is the most significant byte";
    EXPECT_EQ(Transport::text(Transport::usb), u"usb "_s);
    EXPECT_EQ(Transport::text(0), u"0x0"_s);
    const std::pair<const char*, std::uint32_t> cases[] = {
            {"", Transport::none},
            // PulseAudio and PipeWire headsets; LE audio by its profile, its card profile or its codec.
            {"device.bus=bluetooth bluetooth.protocol=headset_head_unit device.form_factor=headset",
             Transport::bluetooth},
            {"device.bus=bluetooth api.bluez5.profile=headset-head-unit api.bluez5.codec=msbc", Transport::bluetooth},
            {"device.bus=bluetooth api.bluez5.profile=bap-source", Transport::bluetoothLE},
            {"device.bus=bluetooth device.profile.name=bap-duplex", Transport::bluetoothLE},
            {"device.bus=bluetooth api.bluez5.codec=lc3", Transport::bluetoothLE},
            {"device.bus=usb api.bluez5.profile=bap-source", Transport::usb},
            // The bus before the form factor, which speaks only for other buses.
            {"device.bus=bluetooth device.form_factor=internal", Transport::bluetooth},
            {"device.bus=usb device.form_factor=internal", Transport::usb},
            {"device.bus=firewire device.form_factor=internal", Transport::builtIn},
            {"device.bus=pci", Transport::builtIn},
            {"device.bus=platform", Transport::builtIn},
            {"device.bus=firewire", Transport::none},
            {"device.bus=USB", Transport::none},
    };
    for (const auto& [pairs, expected] : cases) {
        EXPECT_EQ(Transport::text(AudioDevices::transport(properties(pairs))), Transport::text(expected)) << pairs;
    }
}

TEST(AudioDevices, ResolveTakesTheDefaultUnlessItIsBluetoothOrAnotherDeviceIsChosen)
{
    // Ids as a server numbers its sources: 1 is the monitor of an output, never listed.
    const AudioInputDevice builtIn{0, u"builtin"_s, u"Built-in Microphone"_s, Transport::builtIn};
    const AudioInputDevice usb{2, u"usb"_s, u"USB Microphone"_s, Transport::usb};
    const AudioInputDevice headset{3, u"headset"_s, u"Headset"_s, Transport::bluetooth};
    const AudioInputDevice earbuds{4, u"earbuds"_s, u"LE Earbuds"_s, Transport::bluetoothLE};
    const AudioInputDevice lineIn{5, u"linein"_s, u"Line In"_s, Transport::builtIn};
    const QList<AudioInputDevice> all{builtIn, usb, headset, earbuds, lineIn};
    const auto automatic = MicrophonePreference::automatic();
    const auto system = MicrophonePreference::systemDefault();
    const auto unplugged = MicrophonePreference::device(u"unplugged"_s);
    using Case = std::tuple<std::optional<std::uint32_t>, MicrophonePreference, std::optional<AudioInputDevice>,
                            QList<AudioInputDevice>>;
    const Case cases[] = {
            {3, automatic, builtIn, all}, // the first built-in, not the line in
            {4, automatic, builtIn, all},
            {4, automatic, earbuds, {usb, earbuds}}, // no built-in to give way to
            {3, system, headset, all},
            {2, automatic, usb, all},
            {0, system, builtIn, all}, // 0 is an id like any other
            {2, MicrophonePreference::device(u"headset"_s), headset, all},
            {1, MicrophonePreference::device(u"usb"_s), usb, all},
            {3, unplugged, builtIn, all},
            {2, unplugged, usb, all},
            {3, MicrophonePreference::device(u"USB"_s), builtIn, all}, // uids compare exactly
            {1, automatic, std::nullopt, all},
            {1, system, std::nullopt, all},
            {std::nullopt, unplugged, std::nullopt, all},
            {0, automatic, std::nullopt, {}},
    };
    for (const auto& [defaultID, preference, expected, devices] : cases) {
        EXPECT_EQ(AudioDevices::resolve(preference, devices, defaultID), expected)
                << preference.storedValue().toStdString() << " with default " << defaultID.value_or(99);
    }
}

TEST(MicrophonePreference, ReadsAndWritesTheStoredSetting)
{
    const std::pair<std::optional<QString>, MicrophonePreference> cases[] = {
            {std::nullopt, MicrophonePreference::automatic()},
            {u"automatic"_s, MicrophonePreference::automatic()},
            {u"system"_s, MicrophonePreference::systemDefault()},
            {u"System"_s, MicrophonePreference::device(u"System"_s)},
            {u"Automatic"_s, MicrophonePreference::device(u"Automatic"_s)},
            {u"alsa_input.usb-Blue_Yeti"_s, MicrophonePreference::device(u"alsa_input.usb-Blue_Yeti"_s)},
            {u""_s, MicrophonePreference::device(u""_s)},
    };
    for (const auto& [stored, expected] : cases) {
        const MicrophonePreference preference(stored);
        EXPECT_EQ(preference, expected) << stored.value_or(u"(nothing)"_s).toStdString();
        EXPECT_EQ(preference.storedValue(), stored.value_or(u"automatic"_s));
    }
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

TEST(AudioRecorder, LevelIsLinearInDecibelsFromMinus50To0OnTheFirstChannel)
{
    constexpr AudioFormat mono{16000, 1, SampleType::float32, false};
    constexpr AudioFormat stereo{48000, 2, SampleType::float32, true};
    const auto square = [&](float rms) { return makeBuffer(mono, AudioSignals::square(100, 16000, 320, rms)); };
    const std::tuple<const char*, AudioBufferPtr, float> cases[] = {
            {"silence", makeBuffer(mono, std::vector<float>(320, 0.0f)), 0.0f},
            {"empty", makeBuffer(mono, std::vector<float>{}), 0.0f},
            {"full scale", square(1.0f), 1.0f},
            {"rms 0.1", square(0.1f), 0.6f},
            {"rms 0.01", square(0.01f), 0.2f},
            {"below -50 dB", makeBuffer(mono, std::vector<float>(320, 0.001f)), 0.0f},
            {"above full scale", makeBuffer(mono, std::vector<float>(320, 2.0f)), 1.0f},
            {"loud first channel", makeBuffer(stereo, std::vector<float>{0.1f, 0.0f, -0.1f, 0.0f}), 0.6f},
            {"silent first channel", makeBuffer(stereo, std::vector<float>{0.0f, 1.0f, 0.0f, -1.0f}), 0.0f},
    };
    for (const auto& [name, buffer, expected] : cases) {
        EXPECT_NEAR(AudioRecorder::level(*buffer), expected, 1e-4f) << name;
    }
}

} // namespace
