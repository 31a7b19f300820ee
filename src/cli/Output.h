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

} // namespace sayloom::Output
