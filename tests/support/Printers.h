#pragma once

// Readable failure messages for Qt and Sayloom values in GoogleTest assertions.

#include "dictionary/AppliedCorrection.h"

#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *out << (i ? ", " : "");
        PrintTo(list[i], out);
    }
    *out << ']';
}

namespace sayloom {

inline void PrintTo(const AppliedCorrection& correction, std::ostream* out)
{
    *out << '{' << correction.heard.toStdString() << " -> " << correction.written.toStdString() << " @"
         << correction.location << '+' << correction.length << '}';
}

} // namespace sayloom
