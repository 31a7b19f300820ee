#include "Output.h"

#include <cstdio>

namespace sayloom::Output {

namespace {

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

} // namespace

void printLine(const QString& line)
{
    write(stdout, line);
}

void printError(const QString& description)
{
    std::fflush(stdout);
    write(stderr, u"error: " + description);
}

QString label(const QString& name)
{
    return name.leftJustified(10, u' ');
}

QString seconds(std::chrono::nanoseconds duration)
{
    // Microseconds are the finest step worth reading; the basic cleanup of a sentence takes a few dozen.
    return QString::number(std::chrono::duration<double>(duration).count(), 'f', 6) + u" seconds";
}

} // namespace sayloom::Output
