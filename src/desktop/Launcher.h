#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace sayloom {

// How the desktop parts reach other programs: finding a program on PATH, starting one that outlives us, and handing
// a URL to the desktop's handler. Tests give their own, which record what would have run instead of running it.
struct Launcher {
    // The absolute path of `program` on PATH, or empty.
    std::function<QString(const QString& program)> findProgram;
    // Starts `program` detached from this process; false when it could not be started.
    std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
    // Opens `url` with the desktop's handler for it; false when nothing took it.
    std::function<bool(const QUrl& url)> openUrl;

    // The real thing: QStandardPaths, QProcess and QDesktopServices. Opening a URL needs a QGuiApplication; without
    // one it opens nothing.
    static Launcher system();
};

} // namespace sayloom
