#pragma once

#include <QString>

#include <chrono>

namespace sayloom::Output {

// Developer commands print result lines to standard output, each ending in one line feed.
void printLine(const QString& line);
// An error that ends a command: one "error: " line on standard error.
void printError(const QString& description);
// A result label left-aligned and padded with spaces to 10 columns, so the values line up.
QString label(const QString& name);
// A duration as a decimal number of seconds followed by the word, such as "0.250000 seconds".
QString seconds(std::chrono::nanoseconds duration);
// The shortest decimal text that reads back as the same value, with at least one fractional digit when it has no
// exponent: 4 gives "4.0", 2.5 gives "2.5", 0.1f gives "0.1", 1e20 gives "1e+20"; "inf" and "nan" as they are.
QString shortest(double value);
QString shortest(float value);

} // namespace sayloom::Output
