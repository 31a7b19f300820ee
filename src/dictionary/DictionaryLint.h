#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUuid>

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

    // The heard texts of a whole dictionary, looked up by their lower-cased form. A list that checks every one of
    // its entries builds it once: each check then finds duplicates in constant time instead of walking the list.
    class Index {
    public:
        explicit Index(const QList<DictionaryEntry>& entries);

        // Whether an entry other than `entry` (by id) listens for the same heard text, case ignored.
        bool hasOtherWithSameHeard(const DictionaryEntry& entry) const;

    private:
        QHash<QString, QList<QUuid>> m_ids;
    };

    // The same warnings as against the entries the index was built from.
    static QStringList warnings(const DictionaryEntry& entry, const Index& index);
    static QStringList warnings(const DictionaryEntry& entry, const Index& index, const QSet<QString>& englishWords);

private:
    static QStringList check(const DictionaryEntry& entry, bool duplicate, const QSet<QString>& englishWords);
};

} // namespace sayloom
