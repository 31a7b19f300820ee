#pragma once

#include <QString>

namespace sayloom {

// Pronunciations for words the recogniser's dictionary lacks, guessed by espeak-ng (US English) and written in the
// model's CMU phones ("S UW P AH B EY S"). espeak-ng keeps global state and is not thread-safe, so every use goes
// through one process-wide lock; answers are cached for the life of the process, so a take that names the same
// words again pays nothing.
class Pronouncer final {
public:
    Pronouncer() = delete;

    // The CMU phones for one word, separated by single spaces; empty when espeak-ng is unavailable or found no
    // sound in the word.
    static QString pronounce(const QString& word);
};

} // namespace sayloom
