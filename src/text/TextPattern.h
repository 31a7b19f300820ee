#pragma once

#include <QRegularExpression>
#include <QString>

#include <functional>

namespace sayloom {

// A regular expression written in the common Perl style, matched the way a reader of the pattern expects on
// Unicode text: `\w` and `\b` count letters, marks and digits of every script as word characters, `\s` is
// Unicode white space, `^` matches only at the very start of the text, and a bracketed character class matches
// a whole user-perceived character, so `[a-z]` does not match an "e" that carries a combining accent.
class TextPattern {
public:
    explicit TextPattern(const QString& perlStyle);

    // The expression that the engine runs, after the translation above.
    const QRegularExpression& expression() const { return m_expression; }

    // Replaces every non-overlapping match, scanning from the start, by the literal text.
    QString replaced(const QString& text, const QString& replacement) const;
    // Replaces every non-overlapping match by a text computed from the match.
    QString replaced(const QString& text,
                     const std::function<QString(const QRegularExpressionMatch&)>& replacement) const;
    // Replaces the first match only.
    QString replacedOnce(const QString& text, const QString& replacement) const;

    // The translation itself; exposed so tests can read what the engine gets.
    static QString translated(const QString& perlStyle);

private:
    QRegularExpression m_expression;
};

} // namespace sayloom
