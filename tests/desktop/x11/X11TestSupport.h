#pragma once

#include "integration/support/XServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <functional>

namespace sayloom::testing {

// The private X server every test of this program runs on, started by its main().
XServer& xServer();

// Runs the event loop (this process serves its clipboard meanwhile) until `done` or `timeout`.
inline bool pumpUntil(const std::function<bool()>& done, int timeout = 3000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeout) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// The test window program on the private server, with what it printed and a way to give it commands.
class TestWindowProcess final {
public:
    // `windowClass` is its WM_CLASS class, `instance` the instance.
    TestWindowProcess(const QString& windowClass, const QString& instance)
    {
        QProcessEnvironment environment = xServer().environment();
        environment.insert(QStringLiteral("RESOURCE_NAME"), instance);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine()) {
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
            }
        });
        m_process.start(QStringLiteral(SAYLOOM_TEST_WINDOW), {windowClass});
        pumpUntil([this] { return !lines.isEmpty(); });
        pid = lines.value(0).section(u' ', 1).toLongLong();
    }
    ~TestWindowProcess()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(2000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }

    void command(const QString& command, const QString& text = {})
    {
        m_process.write(command.toUtf8() + ' ' + text.toUtf8().toHex() + '\n');
    }
    // The first line from here on that starts with `prefix` (or `other`), waiting for it; empty when none came.
    QString next(const QString& prefix, const QString& other = {})
    {
        QString found;
        pumpUntil([&] {
            while (m_read < lines.size()) {
                const QString& line = lines[m_read++];
                if (line.startsWith(prefix) || (!other.isEmpty() && line.startsWith(other))) {
                    found = lines[m_read - 1];
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    // The clipboard (or PRIMARY) as this program sees it: format → data.
    QMap<QString, QByteArray> clipboard(bool primary = false)
    {
        command(primary ? QStringLiteral("dump-primary") : QStringLiteral("dump"));
        QMap<QString, QByteArray> formats;
        const auto nextLine = [this] { return next(QStringLiteral("format "), QStringLiteral("end")); };
        for (QString line = nextLine(); line.startsWith(u"format "); line = nextLine()) {
            // What Qt adds to every foreign clipboard, which says nothing of its content.
            static const QStringList bookkeeping{QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"),
                                                 QStringLiteral("TIMESTAMP"), QStringLiteral("SAVE_TARGETS"),
                                                 QStringLiteral("application/x-qt-image")};
            if (bookkeeping.contains(line.section(u' ', 1, 1))) {
                continue;
            }
            formats.insert(line.section(u' ', 1, 1), QByteArray::fromHex(line.section(u' ', 2, 2).toLatin1()));
        }
        return formats;
    }
    // The text of its field, as last reported.
    QString text() const
    {
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (line->startsWith(u"text ")) {
                return QString::fromUtf8(QByteArray::fromHex(line->section(u' ', 1).toLatin1()));
            }
        }
        return {};
    }

    QStringList lines;
    qint64 pid = 0;

private:
    QProcess m_process;
    qsizetype m_read = 1;
};

} // namespace sayloom::testing
