// A window on the accessibility bus for the AT-SPI tests: `atspi_test_window NAME [terminal]` shows a focused field
// in an application called NAME, which tells the accessibility bus it is a terminal when asked to. It prints
// "ready <pid>" and ends when its standard input closes.
#include <QAccessibleWidget>
#include <QApplication>
#include <QPlainTextEdit>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLocal8Bit(argc > 1 ? argv[1] : "atspi-test-window"));
    if (argc > 2 && qstrcmp(argv[2], "terminal") == 0) {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            auto* const widget = qobject_cast<QWidget*>(object);
            return className == u"QPlainTextEdit" && widget ? new QAccessibleWidget(widget, QAccessible::Terminal)
                                                            : nullptr;
        });
    }
    QPlainTextEdit field;
    field.show();
    field.activateWindow();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            QApplication::quit();
        }
    });
    std::printf("ready %lld\n", QApplication::applicationPid());
    std::fflush(stdout);
    return application.exec();
}
