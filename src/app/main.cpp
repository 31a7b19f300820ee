#include "base/DetachedTask.h"
#include "cli/DevCommand.h"
#include "cli/Output.h"
#include "ui/Snapshot.h"

#include <QApplication>
#include <QCoreApplication>
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

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const std::optional<DevCommand> command = DevCommand::parse(arguments);
    if (!command) {
        Output::printLine(QStringLiteral(
                "Sayloom's desktop application is not built yet; see README for the developer commands."));
        return 0;
    }

    if (const auto* snapshot = std::get_if<DevCommand::Snapshot>(&command->value())) {
        // Drawing needs a GUI application, but never a display: the offscreen platform draws into memory, so the
        // command works over SSH and in CI alike.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Sayloom"));
        QCoreApplication::setApplicationName(QStringLiteral("Sayloom"));
        return Snapshot::run(snapshot->folder);
    }

    // A command runs as one task on the main thread while the event loop serves whatever it waits for; no window
    // and no display connection.
    // Log lines name their category, so they stand apart from a command's own output.
    qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Sayloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Sayloom"));
    QTimer::singleShot(0, &application, [&command] { runDetached(runAndExit(*command), "The command"); });
    return QCoreApplication::exec();
}
