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

    // The two pages the windows offer; each desktop maps them to whatever grants that access there.
    static QString microphonePage() { return QStringLiteral("settings:privacy#Privacy_Microphone"); }
    static QString accessibilityPage() { return QStringLiteral("settings:privacy#Privacy_Accessibility"); }
};

} // namespace sayloom
