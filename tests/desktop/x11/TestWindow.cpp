// A window to paste into, for the X11 tests: a focused text field that reports on standard output what it
// receives ("key <sequence>" for each key press but modifiers, "text <hex UTF-8>" for each change), and commands on
// standard input that work the clipboard like another program would:
//   copy <hex>            copies the text
//   copy-with-image <hex> copies the text and a small PNG image
//   dump                  prints "format <name> <hex data>" for each clipboard format, then "end"
//   dump-primary          the same for the PRIMARY selection
// The first argument, when given, is the window's class (WM_CLASS); the instance comes from RESOURCE_NAME.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray& line)
{
    std::fputs(QByteArray(line + '\n').constData(), stdout);
    std::fflush(stdout);
}

class KeyLog final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Control || key->key() == Qt::Key_Shift || key->key() == Qt::Key_Alt) {
                return false;
            }
            say("key " + QKeySequence(key->keyCombination()).toString().toUtf8());
        }
        return false;
    }
};

void dump(QClipboard::Mode mode)
{
    if (const QMimeData* data = QApplication::clipboard()->mimeData(mode)) {
        for (const QString& format : data->formats()) {
            say("format " + format.toUtf8() + ' ' + data->data(format).toHex());
        }
    }
    say("end");
}

void obey(const QByteArray& line)
{
    const QList<QByteArray> words = line.split(' ');
    const QByteArray command = words.value(0);
    const QString text = QString::fromUtf8(QByteArray::fromHex(words.value(1)));
    if (command == "copy") {
        QApplication::clipboard()->setText(text);
        say("copied");
    } else if (command == "copy-with-image") {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        auto* data = new QMimeData;
        data->setText(text);
        data->setData(QStringLiteral("image/png"), png.data());
        QApplication::clipboard()->setMimeData(data);
        say("copied");
    } else if (command == "dump") {
        dump(QClipboard::Clipboard);
    } else if (command == "dump-primary") {
        dump(QClipboard::Selection);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc > 1) {
        QApplication::setApplicationName(QString::fromLocal8Bit(argv[1]));
    }
    KeyLog keyLog;
    application.installEventFilter(&keyLog);

    QPlainTextEdit editor;
    editor.setWindowTitle(QStringLiteral("Sayloom test window"));
    editor.resize(400, 200);
    QObject::connect(&editor, &QPlainTextEdit::textChanged,
                     [&editor] { say("text " + editor.toPlainText().toUtf8().toHex()); });
    editor.show();
    editor.activateWindow();
    editor.setFocus();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&pending, &input] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            QApplication::quit();
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            obey(pending.left(end));
            pending.remove(0, end + 1);
        }
    });
    say("ready " + QByteArray::number(QApplication::applicationPid()));
    return application.exec();
}
