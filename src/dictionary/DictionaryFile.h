#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QString>

#include <optional>

namespace sayloom {

// The text format of Dictionary.txt: one entry per line, "#" comments, "heard -> written" corrections.
class DictionaryFile {
public:
    DictionaryFile() = delete;

    // The nine comment lines every written file starts with.
    static const QString& header();

    // Never fails: lines it cannot use are dropped.
    static QList<DictionaryEntry> parse(QStringView text);
    static QString serialize(const QList<DictionaryEntry>& entries);

    // Reads a file whole as strict UTF-8; nothing when it is missing, unreadable or not UTF-8.
    static std::optional<QString> readText(const QString& path);
};

} // namespace sayloom
