#pragma once

#include <QCoroTask>
#include <QString>

namespace sayloom {

// Microphone access, and the settings pages where the user grants access.
class Permissions {
public:
    virtual ~Permissions() = default;

    // True when the microphone may be used, asking the user once if the question is still open; never fails.
    virtual QCoro::Task<bool> requestMicrophone() = 0;
    // Opens a settings page; an address that cannot be opened does nothing.
    virtual void open(const QString& address) = 0;
};

} // namespace sayloom
