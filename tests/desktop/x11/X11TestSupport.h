#pragma once

#include "integration/support/XServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#include <functional>

namespace sayloom::testing {

// The private X server all tests of this program run on, started by its main().
inline XServer* runningServer = nullptr;
inline XServer& xServer()
{
    return *runningServer;
}

// Runs the event loop (this process serves its clipboard meanwhile) until `done` or `timeout` milliseconds.
inline bool pumpUntil(const std::function<bool()>& done, int timeout = 3000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < timeout) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// The test window program on the private server: what it printed, and commands to it.
class TestWindowProcess final {
public:
    TestWindowProcess(const QString& windowClass, const QString& instance)
    {
        QProcessEnvironment environment = xServer().environment();
        environment.insert(QStringLiteral("RESOURCE_NAME"), instance);
        m_process.setProcessEnvironment(environment);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine()) {
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
                if (lines.last().startsWith(u"text ")) {
                    text = QString::fromUtf8(QByteArray::fromHex(lines.last().mid(5).toLatin1()));
                }
            }
        });
        m_process.start(QStringLiteral(SAYLOOM_TEST_WINDOW), {windowClass});
        pid = next(QStringLiteral("ready")).section(u' ', 1).toLongLong();
    }
    ~TestWindowProcess()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(2000);
    }

    void command(const QString& command, const QString& argument = {})
    {
        m_process.write(command.toUtf8() + ' ' + argument.toUtf8().toHex() + '\n');
    }
    // The next unread line that matches `pattern` at its start, waiting for it; empty when none comes.
    QString next(const QString& pattern)
    {
        const QRegularExpression start(u'^' + pattern);
        const auto found = [&] {
            for (; m_read < lines.size() && !start.match(lines[m_read]).hasMatch(); ++m_read) {
            }
            return m_read < lines.size();
        };
        return pumpUntil(found) ? lines[m_read++] : QString();
    }
    // The clipboard (or PRIMARY) as this program sees it, format → data.
    QMap<QString, QByteArray> clipboard(bool primary = false)
    {
        command(primary ? QStringLiteral("dump-primary") : QStringLiteral("dump"));
        QMap<QString, QByteArray> formats;
        for (QString line; (line = next(QStringLiteral("format |end"))).startsWith(u'f');) {
            formats.insert(line.section(u' ', 1, 1), QByteArray::fromHex(line.section(u' ', 2, 2).toLatin1()));
        }
        return formats;
    }
    QStringList lines;
    // The text of its field as last reported.
    QString text;
    qint64 pid = 0;

private:
    QProcess m_process;
    qsizetype m_read = 0;
};

} // namespace sayloom::testing
