#pragma once

#include <QString>
#include <QStringList>

namespace sayloom::WordErrorRate {

// The words a transcript is scored on: lower case, punctuation gone (an apostrophe inside a word stays, so
// "Let's" is "let's"), hyphens and dashes between words as spaces. Numbers stay as written; the corpus spells
// them as words, as the recogniser does.
QStringList words(const QString& text);

// The fewest substitutions, deletions and insertions that turn `reference` into `hypothesis`.
int editDistance(const QStringList& reference, const QStringList& hypothesis);

// True when `name` (one or more words) stands in `transcript` as consecutive words.
bool mentions(const QStringList& transcript, const QStringList& name);

} // namespace sayloom::WordErrorRate
