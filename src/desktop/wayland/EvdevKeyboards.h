#pragma once

#include "desktop/wayland/EvdevKeyState.h"

#include <QByteArray>
#include <QObject>

#include <map>
#include <optional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace sayloom {

// Every keyboard the kernel knows, opened for reading (never grabbed, so each key still reaches the compositor), and
// followed as keyboards come and go. Their events go to an EvdevKeyState as they arrive, on the main thread. Our own
// virtual keyboard is left out: the paste keystroke is not the user typing.
//
// Events are read as the kernel's raw input_event records rather than through libevdev, so that any descriptor
// carrying such records (a pipe, for measuring) takes the same path as a keyboard; libevdev only names the devices.
class EvdevKeyboards final : public QObject {
    Q_OBJECT

public:
    explicit EvdevKeyboards(EvdevKeyState& state, QObject* parent = nullptr);
    EvdevKeyboards(const EvdevKeyboards&) = delete;
    EvdevKeyboards& operator=(const EvdevKeyboards&) = delete;
    ~EvdevKeyboards() override;

    // Opens every keyboard there is and follows the ones plugged in later.
    void open();
    // Closes them all; the state is not told. Safe from within the state's callbacks.
    void close();
    // How many keyboards are open.
    int count() const { return int(m_devices.size()); }
    // Why the last open() left no keyboard open ("Permission denied"); empty when one is open or none was found.
    QString failure() const { return m_failure; }
    // Reads events from `fd` as from a keyboard called `name` holding `held`, until its end or an error; takes the
    // descriptor. Returns the device's number in the state.
    int watch(int fd, const QByteArray& name, const EvdevKeyState::Keys& held = {});
    // The keys a device holds now, read from the kernel; nothing when it cannot tell.
    std::optional<EvdevKeyState::Keys> keysHeld(int device) const;

private:
    struct Device {
        int fd = -1;
        QByteArray node;
        QByteArray name;
        QSocketNotifier* notifier = nullptr;
    };

    void openNode(const QByteArray& node);
    void readDevice(int device);
    void readHotplug();
    void drop(int device);
    void closeHotplug();

    EvdevKeyState& m_state;
    std::map<int, Device> m_devices;
    int m_nextDevice = 1;
    QString m_failure;
    udev* m_udev = nullptr;
    udev_monitor* m_hotplug = nullptr;
    QSocketNotifier* m_hotplugNotifier = nullptr;
};

} // namespace sayloom
