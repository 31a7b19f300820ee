#include "AudioDevices.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

struct TransportCase {
    const char* name;
    AudioDevices::Properties properties;
    std::uint32_t expected;
};

void PrintTo(const TransportCase& test, std::ostream* out)
{
    *out << test.name;
}

class AudioDevicesTransport : public testing::TestWithParam<TransportCase> {};

TEST_P(AudioDevicesTransport, FollowsTheBusThenTheFormFactor)
{
    EXPECT_EQ(Transport::text(AudioDevices::transport(GetParam().properties)), Transport::text(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
        Properties, AudioDevicesTransport,
        testing::Values(TransportCase{"Nothing", {}, Transport::none},
                        TransportCase{"PulseAudioHeadset",
                                      {{"device.bus", "bluetooth"},
                                       {"bluetooth.protocol", "headset_head_unit"},
                                       {"device.form_factor", "headset"}},
                                      Transport::bluetooth},
                        TransportCase{"PipeWireHeadset",
                                      {{"device.bus", "bluetooth"},
                                       {"api.bluez5.profile", "headset-head-unit"},
                                       {"api.bluez5.codec", "msbc"}},
                                      Transport::bluetooth},
                        TransportCase{"PipeWireLEAudioSource",
                                      {{"device.bus", "bluetooth"}, {"api.bluez5.profile", "bap-source"}},
                                      Transport::bluetoothLE},
                        TransportCase{"PipeWireLEAudioCardProfile",
                                      {{"device.bus", "bluetooth"}, {"device.profile.name", "bap-duplex"}},
                                      Transport::bluetoothLE},
                        TransportCase{"LC3Codec",
                                      {{"device.bus", "bluetooth"}, {"api.bluez5.codec", "lc3"}},
                                      Transport::bluetoothLE},
                        TransportCase{"BapOutsideBluetoothIsIgnored",
                                      {{"device.bus", "usb"}, {"api.bluez5.profile", "bap-source"}},
                                      Transport::usb},
                        TransportCase{"BluetoothWinsOverInternal",
                                      {{"device.bus", "bluetooth"}, {"device.form_factor", "internal"}},
                                      Transport::bluetooth},
                        TransportCase{"UsbWinsOverInternal",
                                      {{"device.bus", "usb"}, {"device.form_factor", "internal"}},
                                      Transport::usb},
                        TransportCase{"InternalWithoutBus", {{"device.form_factor", "internal"}}, Transport::builtIn},
                        TransportCase{"InternalOnAnotherBus",
                                      {{"device.bus", "firewire"}, {"device.form_factor", "internal"}},
                                      Transport::builtIn},
                        TransportCase{"PciCard", {{"device.bus", "pci"}}, Transport::builtIn},
                        TransportCase{"SocCodec", {{"device.bus", "platform"}}, Transport::builtIn},
                        TransportCase{"Firewire", {{"device.bus", "firewire"}}, Transport::none},
                        TransportCase{"CaseMatters", {{"device.bus", "USB"}}, Transport::none}));

const AudioInputDevice builtIn{1, u"builtin"_s, u"Built-in Microphone"_s, Transport::builtIn};
const AudioInputDevice secondBuiltIn{2, u"builtin2"_s, u"Line In"_s, Transport::builtIn};
const AudioInputDevice usb{3, u"usb"_s, u"USB Microphone"_s, Transport::usb};
const AudioInputDevice headset{4, u"headset"_s, u"Headset"_s, Transport::bluetooth};
const AudioInputDevice earbuds{5, u"earbuds"_s, u"Earbuds"_s, Transport::bluetoothLE};
const AudioInputDevice firstSource{0, u"first"_s, u"First"_s, Transport::none};

struct ResolveCase {
    const char* name;
    MicrophonePreference preference;
    QList<AudioInputDevice> devices;
    std::optional<std::uint32_t> defaultID;
    std::optional<AudioInputDevice> expected;
};

void PrintTo(const ResolveCase& test, std::ostream* out)
{
    *out << test.name;
}

class AudioDevicesResolve : public testing::TestWithParam<ResolveCase> {};

TEST_P(AudioDevicesResolve, ChoosesTheDeviceOfTheRules)
{
    const ResolveCase& test = GetParam();
    EXPECT_EQ(AudioDevices::resolve(test.preference, test.devices, test.defaultID), test.expected);
}

const MicrophonePreference automatic = MicrophonePreference::automatic();
const MicrophonePreference system = MicrophonePreference::systemDefault();
const QList<AudioInputDevice> desk = {usb, builtIn, headset, secondBuiltIn, earbuds};

INSTANTIATE_TEST_SUITE_P(
        Rules, AudioDevicesResolve,
        testing::Values(
                ResolveCase{"AutomaticSwapsHeadsetForFirstBuiltIn", automatic, desk, 4, builtIn},
                ResolveCase{"SystemKeepsHeadset", system, desk, 4, headset},
                ResolveCase{"AutomaticSwapsLEForBuiltIn", automatic, desk, 5, builtIn},
                ResolveCase{"AutomaticKeepsLEWithoutBuiltIn", automatic, {usb, earbuds}, 5, earbuds},
                ResolveCase{"AutomaticKeepsUsb", automatic, desk, 3, usb},
                ResolveCase{"ExplicitHeadsetIsHonoured", MicrophonePreference::device(u"headset"_s), desk, 3, headset},
                ResolveCase{"ExplicitDeviceNeedsNoDefault", MicrophonePreference::device(u"usb"_s), desk, std::nullopt,
                            usb},
                ResolveCase{"UnpluggedActsAsAutomatic", MicrophonePreference::device(u"gone"_s), desk, 4, builtIn},
                ResolveCase{"UnpluggedActsAsAutomaticWithUsbDefault", MicrophonePreference::device(u"gone"_s), desk, 3,
                            usb},
                ResolveCase{"UidsCompareExactly", MicrophonePreference::device(u"USB"_s), desk, 2, secondBuiltIn},
                ResolveCase{"NoDefaultAutomatic", automatic, desk, std::nullopt, std::nullopt},
                ResolveCase{"NoDefaultSystem", system, desk, std::nullopt, std::nullopt},
                ResolveCase{"NoDefaultUnplugged", MicrophonePreference::device(u"gone"_s), desk, std::nullopt,
                            std::nullopt},
                ResolveCase{"UnlistedDefaultIsNoDefault", automatic, desk, 42, std::nullopt},
                ResolveCase{"NoDevices", automatic, {}, 1, std::nullopt},
                ResolveCase{"SourceIndexZeroIsADevice", system, {firstSource, usb}, 0, firstSource},
                ResolveCase{"FirstOfTwoWithTheDefaultId",
                            system,
                            {usb, AudioInputDevice{3, u"other"_s, u"Other"_s, 0}},
                            3,
                            usb}),
        [](const auto& row) { return std::string(row.param.name); });

} // namespace
