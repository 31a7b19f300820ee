#pragma once

#include <QSet>
#include <QString>

namespace sayloom {

// The system word list, lower-cased, for telling ordinary words from names.
class EnglishWords {
public:
    EnglishWords() = delete;

    static QString systemPath();
    // The system list, loaded on first use by exactly one thread; every other caller waits for that load. Empty
    // when the file is missing or is not UTF-8.
    static const QSet<QString>& words();
    // Loads any word list the same way.
    static QSet<QString> load(const QString& path);
};

} // namespace sayloom
