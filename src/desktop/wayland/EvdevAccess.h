#pragma once

namespace sayloom {

// Cheap probes of what the kernel lets us do with keyboards, for an answer that is polled once a second.
class EvdevAccess final {
public:
    EvdevAccess() = delete;

    // At least one keyboard can be opened for reading (the trigger key can be watched).
    static bool keyboardsReadable();
    // /dev/uinput opens for writing (a virtual keyboard can be made).
    static bool uinputWritable();
};

} // namespace sayloom
