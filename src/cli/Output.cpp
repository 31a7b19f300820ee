#include "cli/Output.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace sayloom::Output {

namespace {

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

template <typename Number>
QString shortestText(Number value)
{
    char text[64];
    const std::to_chars_result result = std::to_chars(std::begin(text), std::end(text), value);
    QString written = QString::fromLatin1(text, result.ptr - text);
    const bool integral =
            std::all_of(written.cbegin(), written.cend(), [](QChar c) { return c.isDigit() || c == u'-'; });
    if (integral) {
        written += u".0";
    }
    return written;
}

} // namespace

void printLine(const QString& line)
{
    write(stdout, line);
    // A pipe would hold the line back until exit; "recording … speak now…" is a prompt and must show at once.
    std::fflush(stdout);
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

QString shortest(double value)
{
    return shortestText(value);
}

QString shortest(float value)
{
    return shortestText(value);
}

} // namespace sayloom::Output
