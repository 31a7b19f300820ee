#pragma once

#include <QString>

namespace sayloom::Output {

// Developer commands print result lines to standard output, each ending in one line feed.
void printLine(const QString& line);
// An error that ends a command: one "error: " line on standard error.
void printError(const QString& description);
// A result label left-aligned and padded with spaces to 10 columns, so the values line up.
QString label(const QString& name);

} // namespace sayloom::Output
