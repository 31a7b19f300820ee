// A window on the accessibility bus for the AT-SPI test: `atspi_test_window NAME [terminal]` shows a focused field in
// an application called NAME, which says it is a terminal when asked to.
#include <QAccessibleWidget>
#include <QApplication>
#include <QPlainTextEdit>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            return className == u"QPlainTextEdit"
                           ? new QAccessibleWidget(qobject_cast<QWidget*>(object), QAccessible::Terminal)
                           : nullptr;
        });
    }
    QPlainTextEdit field;
    field.show();
    return application.exec();
}
