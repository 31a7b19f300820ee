#pragma once

// Readable failure messages for Qt and Sayloom values in GoogleTest assertions.

#include "dictionary/AppliedCorrection.h"

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace sayloom {

inline void PrintTo(const AppliedCorrection& correction, std::ostream* out)
{
    *out << '{' << correction.heard.toStdString() << " -> " << correction.written.toStdString() << " @"
         << correction.location << '+' << correction.length << '}';
}

} // namespace sayloom
