#pragma once

#include <QByteArray>
#include <QList>

namespace sayloom {

// The event nodes (/dev/input/event*) of every device udev calls a keyboard, in udev's order; none without udev.
QList<QByteArray> keyboardNodes();

// Whether a udev device with these properties is a keyboard's event node.
bool isKeyboardNode(const char* devnode, const char* keyboardProperty);

// The flags every keyboard is opened with: read only, never blocking the event loop, not passed to children.
int keyboardOpenFlags();

} // namespace sayloom
