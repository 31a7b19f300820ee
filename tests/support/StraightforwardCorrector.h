#pragma once

#include "dictionary/DictionaryCorrector.h"

namespace sayloom {

// The corrector written the obvious way: every rule's expression, compiled up front, run over the whole text.
// Slow with large dictionaries, but easy to check by reading, so it serves as the oracle of the differential
// tests and as the baseline of the benchmark.
class StraightforwardCorrector {
public:
    explicit StraightforwardCorrector(const QList<DictionaryEntry>& entries);
    DictionaryCorrector::Result apply(const QString& text) const;

private:
    struct Rule {
        QRegularExpression pattern;
        QString replacement;
    };
    QList<Rule> m_rules;
};

} // namespace sayloom
