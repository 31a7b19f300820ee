// A window to paste into, for the X11 and end-to-end tests (TestWindow drives it): a focused text field that
// reports on standard output what it gets ("key <sequence>" for each key press but modifiers, "text <hex UTF-8>" for
// each change), and commands on standard input that work the clipboard like another program: "copy <hex>" and
// "copy-with-image <hex>" copy text (and a PNG), "dump" and "dump-primary" print "format <name> <hex data>" per
// format, then "end". The first argument, when given, is the window's WM_CLASS class (its app_id on Wayland).
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray& line)
{
    std::fputs(QByteArray(line + '\n').constData(), stdout);
    std::fflush(stdout);
}

class Editor final : public QPlainTextEdit {
    void keyPressEvent(QKeyEvent* key) override
    {
        if (!QList{Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt}.contains(key->key())) {
            say("key " + QKeySequence(key->keyCombination()).toString().toUtf8());
        }
        QPlainTextEdit::keyPressEvent(key);
    }
};

void obey(const QList<QByteArray>& words)
{
    if (words[0].startsWith("copy")) {
        auto* data = new QMimeData;
        data->setText(QString::fromUtf8(QByteArray::fromHex(words.value(1))));
        if (words[0] == "copy-with-image") {
            data->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n and the rest of a picture", 34));
        }
        QApplication::clipboard()->setMimeData(data);
        return say("copied");
    }
    // Qt keeps the formats of another program's clipboard until it hears of a new owner, which the server may
    // have told a moment before this command came: give Qt's event thread that moment.
    QThread::msleep(20);
    QCoreApplication::processEvents();
    const auto mode = words[0] == "dump-primary" ? QClipboard::Selection : QClipboard::Clipboard;
    if (const QMimeData* current = QApplication::clipboard()->mimeData(mode)) {
        // Without what Qt adds to every clipboard another program owns, which says nothing of its content.
        for (const QString& format : current->formats()) {
            if (format != format.toUpper() && format != u"application/x-qt-image") {
                say("format " + format.toUtf8() + ' ' + current->data(format).toHex());
            }
        }
    }
    say("end");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc > 1) {
        // The class on X11; the app_id on Wayland.
        QApplication::setApplicationName(QString::fromLocal8Bit(argv[1]));
        QGuiApplication::setDesktopFileName(QString::fromLocal8Bit(argv[1]));
    }
    Editor editor;
    QObject::connect(&editor, &QPlainTextEdit::textChanged,
                     [&editor] { say("text " + editor.toPlainText().toUtf8().toHex()); });
    editor.show();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&pending] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            return QApplication::quit();
        }
        pending.append(buffer, count);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            obey(pending.left(end).split(' '));
            pending.remove(0, end + 1);
        }
    });
    say("ready " + QByteArray::number(QApplication::applicationPid()));
    return application.exec();
}
