#include "desktop/wayland/EvdevKeyboards.h"

#include "desktop/wayland/KeyboardNodes.h"
#include "desktop/wayland/UinputKeyboard.h"
#include "desktop/wayland/WaylandLog.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sayloom {

namespace {

// Stops a notifier that may be the one whose signal is running now, and deletes it once that is over.
void retire(QSocketNotifier*& notifier)
{
    if (notifier) {
        notifier->setEnabled(false);
        std::exchange(notifier, nullptr)->deleteLater();
    }
}

} // namespace

EvdevKeyboards::EvdevKeyboards(EvdevKeyState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
}

EvdevKeyboards::~EvdevKeyboards()
{
    close();
}

void EvdevKeyboards::open()
{
    m_failure.clear();
    if (!m_udev) {
        m_udev = udev_new();
    }
    if (m_udev && !m_hotplug) {
        m_hotplug = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_hotplug && udev_monitor_filter_add_match_subsystem_devtype(m_hotplug, "input", nullptr) >= 0 &&
            udev_monitor_enable_receiving(m_hotplug) >= 0) {
            m_hotplugNotifier = new QSocketNotifier(udev_monitor_get_fd(m_hotplug), QSocketNotifier::Read, this);
            connect(m_hotplugNotifier, &QSocketNotifier::activated, this, &EvdevKeyboards::readHotplug);
        } else {
            qCDebug(lcWayland, "udev does not announce new devices here; keyboards plugged in later are not seen");
            closeHotplug();
        }
    }
    // Opened after the hot-plug monitor, so that a keyboard plugged in meanwhile is not missed (it may be announced
    // as well; a node already open is not opened twice).
    for (const QByteArray& node : keyboardNodes()) {
        openNode(node);
    }
    if (!m_devices.empty()) {
        m_failure.clear();
    }
}

void EvdevKeyboards::close()
{
    closeHotplug();
    for (auto& [device, state] : m_devices) {
        retire(state.notifier);
        ::close(state.fd);
    }
    m_devices.clear();
    if (m_udev) {
        udev_unref(std::exchange(m_udev, nullptr));
    }
}

void EvdevKeyboards::closeHotplug()
{
    retire(m_hotplugNotifier);
    if (m_hotplug) {
        udev_monitor_unref(std::exchange(m_hotplug, nullptr));
    }
}

void EvdevKeyboards::openNode(const QByteArray& node)
{
    for (const auto& [device, state] : m_devices) {
        if (state.node == node) {
            return;
        }
    }
    const int fd = ::open(node.constData(), keyboardOpenFlags());
    if (fd < 0) {
        if (m_failure.isEmpty()) {
            m_failure = QString::fromLocal8Bit(node) + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        }
        return;
    }
    libevdev* identity = nullptr;
    if (libevdev_new_from_fd(fd, &identity) < 0) {
        ::close(fd);
        return;
    }
    const QByteArray name(libevdev_get_name(identity));
    EvdevKeyState::Keys held;
    const bool keyboard = libevdev_has_event_type(identity, EV_KEY);
    if (keyboard) {
        for (unsigned int code = 0; code < EvdevKeyState::keyCount; ++code) {
            held.set(code, libevdev_get_event_value(identity, EV_KEY, code) != 0);
        }
    }
    libevdev_free(identity);
    if (!keyboard || name == uinputKeyboardName) {
        ::close(fd);
        return;
    }
    qCDebug(lcWayland) << "Reading keyboard" << node << name;
    m_devices.at(watch(fd, name, held)).node = node;
}

int EvdevKeyboards::watch(int fd, const QByteArray& name, const EvdevKeyState::Keys& held)
{
    const int device = m_nextDevice++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    m_devices.emplace(device, Device{fd, {}, name, notifier});
    m_state.deviceAdded(device, held);
    connect(notifier, &QSocketNotifier::activated, this, [this, device] { readDevice(device); });
    return device;
}

std::optional<EvdevKeyState::Keys> EvdevKeyboards::keysHeld(int device) const
{
    const auto found = m_devices.find(device);
    if (found == m_devices.end()) {
        return std::nullopt;
    }
    std::array<unsigned char, EvdevKeyState::keyCount / 8> bits{};
    if (::ioctl(found->second.fd, EVIOCGKEY(bits.size()), bits.data()) < 0) {
        return std::nullopt;
    }
    EvdevKeyState::Keys held;
    for (std::size_t code = 0; code < held.size(); ++code) {
        held.set(code, (bits[code / 8] >> (code % 8)) & 1);
    }
    return held;
}

void EvdevKeyboards::readDevice(int device)
{
    std::array<input_event, 64> events;
    for (;;) {
        const auto found = m_devices.find(device);
        if (found == m_devices.end()) {
            return;
        }
        const ssize_t size = ::read(found->second.fd, events.data(), sizeof events);
        if (size < 0 && errno == EINTR) {
            continue;
        }
        if (size < 0 && errno == EAGAIN) {
            return;
        }
        if (size <= 0) {
            // ENODEV: unplugged; the end of a pipe: its writer is done.
            if (size < 0) {
                qCDebug(lcWayland) << "Keyboard" << found->second.name << "went away:" << strerror(errno);
            }
            drop(device);
            return;
        }
        const std::size_t count = std::size_t(size) / sizeof(input_event);
        for (std::size_t i = 0; i < count; ++i) {
            m_state.feed(device, events[i]);
            // A callback may have stopped everything.
            if (!m_devices.contains(device)) {
                return;
            }
        }
        if (std::size_t(size) < sizeof events) {
            return; // drained; the notifier tells of more
        }
    }
}

void EvdevKeyboards::readHotplug()
{
    while (m_hotplug) {
        const std::unique_ptr<udev_device, decltype(&udev_device_unref)> change(udev_monitor_receive_device(m_hotplug),
                                                                                &udev_device_unref);
        if (!change) {
            return;
        }
        const char* action = udev_device_get_action(change.get());
        const char* node = udev_device_get_devnode(change.get());
        if (!action || !node) {
            continue;
        }
        if (std::strcmp(action, "add") == 0 &&
            isKeyboardNode(node, udev_device_get_property_value(change.get(), "ID_INPUT_KEYBOARD"))) {
            openNode(QByteArray(node));
        } else if (std::strcmp(action, "remove") == 0) {
            for (const auto& [device, state] : m_devices) {
                if (state.node == node) {
                    drop(device);
                    break;
                }
            }
        }
    }
}

void EvdevKeyboards::drop(int device)
{
    const auto found = m_devices.find(device);
    if (found == m_devices.end()) {
        return;
    }
    retire(found->second.notifier);
    ::close(found->second.fd);
    m_devices.erase(found);
    m_state.deviceGone(device);
}

} // namespace sayloom
