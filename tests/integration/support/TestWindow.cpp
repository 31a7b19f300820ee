#include "TestWindow.h"

namespace sayloom {

using namespace Qt::StringLiterals;

TestWindow::TestWindow(const QString& windowClass, const QProcessEnvironment& environment)
    : m_process(QStringLiteral(SAYLOOM_TEST_WINDOW), {windowClass}, environment)
{
    m_process.waitFor(u"^ready "_s);
}

QStringList TestWindow::reports(const QString& kind) const
{
    QStringList reports;
    for (const ChildProcess::Line& line : m_process.lines()) {
        if (line.text.startsWith(kind + u' ')) {
            reports << line.text.mid(kind.size() + 1);
        }
    }
    return reports;
}

QString TestWindow::text() const
{
    const QStringList texts = reports(u"text"_s);
    return texts.isEmpty() ? QString() : QString::fromUtf8(QByteArray::fromHex(texts.last().toLatin1()));
}

bool TestWindow::copy(const QString& text, bool withImage)
{
    const qsizetype from = m_process.lines().size();
    m_process.writeLine((withImage ? "copy-with-image " : "copy ") + text.toUtf8().toHex());
    return m_process.waitFor(u"^copied$"_s, from) >= 0;
}

QMap<QString, QByteArray> TestWindow::clipboard(bool primary)
{
    const qsizetype from = m_process.lines().size();
    m_process.writeLine(primary ? "dump-primary" : "dump");
    QMap<QString, QByteArray> formats;
    for (qsizetype i = from, end = m_process.waitFor(u"^end$"_s, from); i < end; ++i) {
        if (const QStringList words = m_process.lines()[i].text.split(u' '); words[0] == u"format") {
            formats.insert(words.value(1), QByteArray::fromHex(words.value(2).toLatin1()));
        }
    }
    return formats;
}

} // namespace sayloom
