#include "desktop/wayland/EvdevAccess.h"

#include "desktop/wayland/KeyboardNodes.h"

#include <fcntl.h>
#include <unistd.h>

namespace sayloom {

bool EvdevAccess::keyboardsReadable()
{
    for (const QByteArray& node : keyboardNodes()) {
        const int fd = ::open(node.constData(), keyboardOpenFlags());
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

bool EvdevAccess::uinputWritable()
{
    // Opened as libevdev opens it to make a device: for reading and writing.
    const int fd = ::open("/dev/uinput", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace sayloom
