#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace sayloom {

// Plain-language warnings for dictionary entries that would damage ordinary speech. Advice only: nothing is
// ever refused because of a warning.
class DictionaryLint {
public:
    DictionaryLint() = delete;

    // Checks `entry` against `entries`, which may hold the entry itself (recognised by its id), using the
    // system word list.
    static QStringList warnings(const DictionaryEntry& entry, const QList<DictionaryEntry>& entries);
    // The same with any word list in place of the system one.
    static QStringList warnings(const DictionaryEntry& entry, const QList<DictionaryEntry>& entries,
                                const QSet<QString>& englishWords);
};

} // namespace sayloom
