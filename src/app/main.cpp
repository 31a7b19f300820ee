#include "app/Application.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/Usage.h"
#include "base/DetachedTask.h"
#include "cli/DevCommand.h"
#include "cli/Output.h"
#include "desktop/x11/X11Compositor.h"
#include "ui/Snapshot.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <exception>

using namespace sayloom;

namespace {

QCoro::Task<> runAndExit(DevCommand command)
{
    int status = 1;
    try {
        status = co_await command.run();
    } catch (const std::exception& error) {
        // An exception would otherwise end the task silently and leave the event loop running for ever.
        Output::printError(QString::fromUtf8(error.what()));
    }
    std::fflush(stdout);
    QCoreApplication::exit(status);
}

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Sayloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Sayloom"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SAYLOOM_VERSION));
}

// The application needs an X display (XWayland on a Wayland desktop); without one it says so in one line rather
// than letting Qt abort.
std::optional<QString> missingDisplay()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (!qgetenv("WAYLAND_DISPLAY").isEmpty()) {
            return QStringLiteral("Sayloom needs X11 or XWayland, and this Wayland session offers no X display; "
                                  "the developer commands work anyway (sayloom --help).");
        }
        return QStringLiteral("Sayloom needs a desktop to start, and no display is set; the developer commands work "
                              "without one (sayloom --help).");
    }
    if (!x11DisplayReachable()) {
        return u"Sayloom can't reach the X display " + QString::fromLocal8Bit(display) +
               u"; the developer commands work without one (sayloom --help).";
    }
    return std::nullopt;
}

int runApplication(int argc, char* argv[], QElapsedTimer startedAt)
{
    if (const std::optional<QString> problem = missingDisplay()) {
        Output::printError(*problem);
        return 1;
    }
    // The windows, the pill and the tray go through X11 also under XWayland, where the pill can stay out of the
    // focus and the tray is the desktop's usual one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
    QApplication application(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("app.sayloom.Sayloom"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("app.sayloom.Sayloom"),
                                                    QIcon(QStringLiteral(":/icons/app.sayloom.Sayloom.svg"))));
    // The tray keeps it running; closing the window only puts it away.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.claim()) {
        if (instance.handOver()) {
            return 0;
        }
        Output::printError(QStringLiteral("Sayloom is already running but does not answer; quit it and start again."));
        return 1;
    }

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application, [](int signal) {
        qInfo("Quitting on signal %d", signal);
        QCoreApplication::quit();
    });
    Application sayloom(startedAt);
    QObject::connect(&instance, &SingleInstance::activationRequested, &sayloom, &Application::showMainWindow);
    sayloom.start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer startedAt;
    startedAt.start();
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (const std::optional<QString> answer = Usage::answer(arguments)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    const std::optional<DevCommand> command = DevCommand::parse(arguments);
    if (!command) {
        return runApplication(argc, argv, startedAt);
    }

    if (const auto* snapshot = std::get_if<DevCommand::Snapshot>(&command->value())) {
        // Drawing needs a GUI application, but never a display: the offscreen platform draws into memory, so the
        // command works over SSH and in CI alike.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        nameApplication();
        return Snapshot::run(snapshot->folder);
    }

    // A command runs as one task on the main thread while the event loop serves whatever it waits for; no window
    // and no display connection.
    // Log lines name their category, so they stand apart from a command's own output.
    qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
    QCoreApplication application(argc, argv);
    nameApplication();
    QTimer::singleShot(0, &application, [&command] { runDetached(runAndExit(*command), "The command"); });
    return QCoreApplication::exec();
}
