#include "AudioDevices.h"
#include "PulseTestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

// A desktop with speakers (whose monitor is a source but no microphone), a built-in microphone, a USB microphone,
// a classic Bluetooth headset and LE-audio earbuds, listed in that order.
class AudioDevicesPulse : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startServer(m_server));
        ASSERT_TRUE(m_server.addSink(u"speakers"_s));
        ASSERT_TRUE(m_server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s,
                                           {{u"device.bus"_s, u"pci"_s}, {u"device.form_factor"_s, u"internal"_s}}));
        ASSERT_TRUE(m_server.addMicrophone(u"usb"_s, u"USB Microphone"_s, {{u"device.bus"_s, u"usb"_s}}));
        ASSERT_TRUE(m_server.addMicrophone(
                u"headset"_s, u"Headset"_s,
                {{u"device.bus"_s, u"bluetooth"_s}, {u"bluetooth.protocol"_s, u"headset_head_unit"_s}}));
        ASSERT_TRUE(m_server.addMicrophone(
                u"earbuds"_s, u"LE Earbuds"_s,
                {{u"device.bus"_s, u"bluetooth"_s}, {u"api.bluez5.profile"_s, u"bap-duplex"_s}}));
    }

    AudioInputDevice device(const QString& uid) const
    {
        for (const AudioInputDevice& device : AudioDevices::inputDevices()) {
            if (device.uid == uid) {
                return device;
            }
        }
        ADD_FAILURE() << "no device " << uid.toStdString();
        return {};
    }

    PulseServer m_server;
};

TEST_F(AudioDevicesPulse, ListsMicrophonesInServerOrderWithTheirTransports)
{
    const QList<AudioInputDevice> devices = AudioDevices::inputDevices();
    ASSERT_EQ(devices.size(), 4);
    const QList<QString> uids = {devices[0].uid, devices[1].uid, devices[2].uid, devices[3].uid};
    EXPECT_EQ(uids, (QList<QString>{u"builtin"_s, u"usb"_s, u"headset"_s, u"earbuds"_s}));
    EXPECT_EQ(devices[0].name, u"Built-in Microphone"_s);
    EXPECT_EQ(devices[0].transport, Transport::builtIn);
    EXPECT_EQ(devices[1].name, u"USB Microphone"_s);
    EXPECT_EQ(devices[1].transport, Transport::usb);
    EXPECT_EQ(devices[2].transport, Transport::bluetooth);
    EXPECT_EQ(devices[3].name, u"LE Earbuds"_s);
    EXPECT_EQ(devices[3].transport, Transport::bluetoothLE);
    // Ids are the server's source indices: the monitor holds one, so they rise from there, all different.
    for (qsizetype i = 1; i < devices.size(); ++i) {
        EXPECT_GT(devices[i].id, devices[i - 1].id);
    }

    QString sources;
    ASSERT_TRUE(m_server.pactl({u"list"_s, u"short"_s, u"sources"_s}, &sources));
    EXPECT_TRUE(sources.contains(u"speakers.monitor"_s)) << "the monitor should exist and be left out";
}

TEST_F(AudioDevicesPulse, DefaultInputIsTheServersDefaultSourceUnlessItIsAMonitor)
{
    ASSERT_TRUE(m_server.setDefaultSource(u"usb"_s));
    EXPECT_EQ(AudioDevices::defaultInputID(), device(u"usb"_s).id);

    ASSERT_TRUE(m_server.setDefaultSource(u"speakers.monitor"_s));
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
}

struct ResolveCase {
    const char* name;
    const char16_t* defaultSource;
    MicrophonePreference preference;
    // Empty: none.
    const char16_t* expected;
};

void PrintTo(const ResolveCase& test, std::ostream* out)
{
    *out << test.name;
}

class AudioDevicesPulseResolve : public AudioDevicesPulse, public testing::WithParamInterface<ResolveCase> {};

TEST_P(AudioDevicesPulseResolve, ChoosesTheDeviceOfTheRules)
{
    const ResolveCase& test = GetParam();
    ASSERT_TRUE(m_server.setDefaultSource(QString::fromUtf16(test.defaultSource)));
    const std::optional<AudioInputDevice> resolved = AudioDevices::resolve(test.preference);
    const QString expected = QString::fromUtf16(test.expected);
    if (expected.isEmpty()) {
        EXPECT_EQ(resolved, std::nullopt);
    } else {
        EXPECT_EQ(resolved, device(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
        Rules, AudioDevicesPulseResolve,
        testing::Values(
                ResolveCase{"AutomaticAvoidsBluetoothHeadset", u"headset", MicrophonePreference::automatic(),
                            u"builtin"},
                ResolveCase{"AutomaticAvoidsLEEarbuds", u"earbuds", MicrophonePreference::automatic(), u"builtin"},
                ResolveCase{"SystemDefaultKeepsHeadset", u"headset", MicrophonePreference::systemDefault(), u"headset"},
                ResolveCase{"AutomaticKeepsUsb", u"usb", MicrophonePreference::automatic(), u"usb"},
                ResolveCase{"SystemDefaultKeepsUsb", u"usb", MicrophonePreference::systemDefault(), u"usb"},
                ResolveCase{"ExplicitBluetoothIsHonoured", u"usb", MicrophonePreference::device(u"headset"_s),
                            u"headset"},
                ResolveCase{"UnpluggedDeviceActsAsAutomatic", u"headset", MicrophonePreference::device(u"unplugged"_s),
                            u"builtin"},
                ResolveCase{"CapitalSystemIsADeviceName", u"usb", MicrophonePreference(u"System"_s), u"usb"},
                ResolveCase{"MonitorDefaultMeansNoneForAutomatic", u"speakers.monitor",
                            MicrophonePreference::automatic(), u""},
                ResolveCase{"MonitorDefaultMeansNoneForSystem", u"speakers.monitor",
                            MicrophonePreference::systemDefault(), u""}),
        [](const auto& row) { return std::string(row.param.name); });

TEST_F(AudioDevicesPulse, WithoutABuiltInMicrophoneAutomaticKeepsTheBluetoothDefault)
{
    QString modules;
    ASSERT_TRUE(m_server.pactl({u"list"_s, u"short"_s, u"modules"_s}, &modules));
    for (const QString& line : modules.split(u'\n')) {
        if (line.contains(u"source_name=builtin"_s)) {
            ASSERT_TRUE(m_server.unloadModule(line.section(u'\t', 0, 0).toInt()));
        }
    }
    ASSERT_TRUE(m_server.setDefaultSource(u"earbuds"_s));
    EXPECT_EQ(AudioDevices::resolve(MicrophonePreference::automatic()), device(u"earbuds"_s));
}

TEST(AudioDevicesUnreachable, GiveNothing)
{
    PulseServer server;
    ASSERT_NO_FATAL_FAILURE(startServer(server));
    ASSERT_TRUE(server.addMicrophone(u"builtin"_s, u"Built-in Microphone"_s));
    ASSERT_EQ(AudioDevices::inputDevices().size(), 1);
    server.stop();

    EXPECT_TRUE(AudioDevices::inputDevices().isEmpty());
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
    EXPECT_EQ(AudioDevices::resolve(MicrophonePreference::automatic()), std::nullopt);
    EXPECT_EQ(AudioDevices::resolve(MicrophonePreference::device(u"builtin"_s)), std::nullopt);
}

TEST(AudioDevicesSilentServer, GiveUpAfterASecond)
{
    const SilentServer server;
    ASSERT_TRUE(server.isListening());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(AudioDevices::inputDevices().isEmpty());
    EXPECT_EQ(AudioDevices::defaultInputID(), std::nullopt);
    // Two calls of one second each; a hang would run into the test's own timeout instead.
    EXPECT_GE(timer.elapsed(), 2 * 1000 - 50);
    EXPECT_LT(timer.elapsed(), 2 * 1000 + 2000);
}

} // namespace
