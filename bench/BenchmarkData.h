#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QString>

#include <cstdint>

namespace sayloom {

// Material shaped like real use, generated from a fixed seed so every run and every machine measures the same
// work: a user's dictionary of product names, people and multi-word names, and a dictated passage that mentions
// some of them the way a recogniser writes them down.
class BenchmarkData {
public:
    BenchmarkData() = delete;

    struct Transcript {
        QString text;
        // How many dictionary forms were written into the text.
        int mentions = 0;
    };

    // `count` distinct entries, the first half words and the second half corrections. No two entries listen for
    // the same thing, so every entry gets a rule of its own.
    static QList<DictionaryEntry> dictionary(qsizetype count = 1000, std::uint32_t seed = 20240611);

    // Ordinary sentences of at least `length` characters, most of which name an entry the way it is heard: as
    // written in the file, joined up, hyphenated or capitalised differently.
    static Transcript transcript(const QList<DictionaryEntry>& entries, qsizetype length = 2000,
                                 std::uint32_t seed = 7);
};

} // namespace sayloom
