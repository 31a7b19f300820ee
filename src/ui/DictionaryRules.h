#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace sayloom {

// What the editor sheet holds while the user types: the kind chosen and the two fields as typed.
struct DictionaryFields {
    DictionaryEntry::Kind kind = DictionaryEntry::Kind::word;
    // The written form ("Word or phrase" for a word, "Write" for a correction).
    QString phrase;
    // "When I say"; ignored for a word.
    QString heardAs;

    // The fields of an existing entry, as the editor opens it.
    static DictionaryFields of(const DictionaryEntry& entry);
};

// The Dictionary screen's rules, free of widgets: which entries the list shows for a search, the entry the editor
// would save, and the entries the file cannot keep.
class DictionaryRules {
public:
    DictionaryRules() = delete;

    // Newest first (the file's last line on top), kept when the phrase or the heard form contains the query
    // trimmed of blanks, case ignored under `locale`. A query of blanks lists everything.
    static QList<DictionaryEntry> results(const QList<DictionaryEntry>& entries, const QString& query,
                                          const QLocale& locale = QLocale());

    // The entry a save would store: both fields trimmed of blanks; nothing without a phrase, or for a correction
    // without a heard form; a word drops whatever is left in the heard field. It carries the id of `existing`, or
    // a new one.
    static std::optional<DictionaryEntry> draft(const DictionaryFields& fields,
                                                const std::optional<DictionaryEntry>& existing = std::nullopt);

    // Why the dictionary file could not keep this entry as typed, or nothing when it can. Such an entry would be
    // written and then read back as a comment, as a different entry, or as several lines.
    static std::optional<QString> refusal(const DictionaryFields& fields);
};

} // namespace sayloom
