#include "desktop/wayland/KeyboardNodes.h"

#include <fcntl.h>
#include <libudev.h>
#include <memory>

namespace sayloom {

bool isKeyboardNode(const char* devnode, const char* keyboardProperty)
{
    return devnode && keyboardProperty && QByteArrayView(keyboardProperty) == "1" &&
           QByteArrayView(devnode).startsWith("/dev/input/event");
}

int keyboardOpenFlags()
{
    return O_RDONLY | O_NONBLOCK | O_CLOEXEC;
}

QList<QByteArray> keyboardNodes()
{
    QList<QByteArray> nodes;
    const std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), &udev_unref);
    if (!context) {
        return nodes;
    }
    const std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)> enumerate(udev_enumerate_new(context.get()),
                                                                                     &udev_enumerate_unref);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "input") < 0 ||
        udev_enumerate_add_match_property(enumerate.get(), "ID_INPUT_KEYBOARD", "1") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return nodes;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        const std::unique_ptr<udev_device, decltype(&udev_device_unref)> device(
                udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)), &udev_device_unref);
        if (!device) {
            continue;
        }
        const char* node = udev_device_get_devnode(device.get());
        if (isKeyboardNode(node, udev_device_get_property_value(device.get(), "ID_INPUT_KEYBOARD"))) {
            nodes.append(QByteArray(node));
        }
    }
    return nodes;
}

} // namespace sayloom
