#pragma once

#include "desktop/Launcher.h"
#include "session/ports/FileActions.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QString>

namespace sayloom {

// Opening a file in the user's application for it, and showing it selected in the file manager.
class DesktopFileActions final : public FileActions {
public:
    // `bus` is where the file manager is asked; the session bus unless a test gives its own.
    explicit DesktopFileActions(Launcher launcher = Launcher::system(),
                                QDBusConnection bus = QDBusConnection::sessionBus());
    DesktopFileActions(const DesktopFileActions&) = delete;
    DesktopFileActions& operator=(const DesktopFileActions&) = delete;

    // Opens `path` with the desktop's default application for it; false when nothing took it.
    bool open(const QString& path) const override;
    // Shows `path` selected in the file manager (org.freedesktop.FileManager1 over D-Bus). Without such a file
    // manager, when it refuses or does not answer, or when the file is missing, opens the folder that holds it
    // instead. True when the file manager took it. Never blocks: the answer is awaited.
    QCoro::Task<bool> reveal(const QString& path) const override;

private:
    Launcher m_launcher;
    QDBusConnection m_bus;
};

} // namespace sayloom
