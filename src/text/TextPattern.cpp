#include "text/TextPattern.h"

#include "base/UnicodeText.h"

namespace sayloom {

namespace {

using namespace Qt::StringLiterals;

// Characters that attach to the character before them in a user-perceived character: combining marks, the
// zero-width joiners and the emoji modifiers and tags (UserCharacters::isExtending).
const QString extending = u"[\\p{M}\\x{200C}\\x{200D}\\x{0E33}\\x{0EB3}\\x{1F3FB}-\\x{1F3FF}\\x{E0020}-\\x{E007F}]"_s;
// Word characters as Unicode's regular-expression guideline defines them; the engine's own \w leaves out marks,
// which would put a word boundary inside a decomposed "é".
const QString wordCharacter = u"[\\p{L}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}]"_s;

QString wordBoundary()
{
    return u"(?:(?<="_s + wordCharacter + u")(?!"_s + wordCharacter + u")|(?<!"_s + wordCharacter + u")(?="_s +
           wordCharacter + u"))"_s;
}

// The length of the bracketed class that starts at `start`, or 0 when it is not closed.
qsizetype classLength(const QString& pattern, qsizetype start)
{
    qsizetype index = start + 1;
    if (index < pattern.size() && pattern[index] == u'^') {
        ++index;
    }
    // A ']' right after the opening bracket is a member, not the end.
    if (index < pattern.size() && pattern[index] == u']') {
        ++index;
    }
    while (index < pattern.size()) {
        const QChar c = pattern[index];
        if (c == u'\\') {
            index += 2;
            continue;
        }
        if (c == u']') {
            return index + 1 - start;
        }
        ++index;
    }
    return 0;
}

} // namespace

QString TextPattern::translated(const QString& perlStyle)
{
    QString result;
    result.reserve(perlStyle.size() * 2);
    qsizetype index = 0;
    while (index < perlStyle.size()) {
        const QChar c = perlStyle[index];
        if (c == u'\\' && index + 1 < perlStyle.size()) {
            const QChar next = perlStyle[index + 1];
            if (next == u'w') {
                result += wordCharacter;
            } else if (next == u'b') {
                result += wordBoundary();
            } else {
                result += c;
                result += next;
            }
            index += 2;
            continue;
        }
        if (c == u'[') {
            const qsizetype length = classLength(perlStyle, index);
            if (length > 0) {
                const QString bracketed = perlStyle.mid(index, length);
                if (bracketed.size() > 1 && bracketed[1] == u'^') {
                    // A negated class matches any user-perceived character that is not one of its members
                    // standing alone.
                    const QString members = u'[' + bracketed.mid(2);
                    result += u"(?:(?!"_s + members + u"(?!"_s + extending + u"))\\X)"_s;
                } else {
                    result += u"(?:"_s + bracketed + u"(?!"_s + extending + u"))"_s;
                }
                index += length;
                continue;
            }
        }
        result += c;
        ++index;
    }
    return result;
}

TextPattern::TextPattern(const QString& perlStyle)
    : m_expression(translated(perlStyle), QRegularExpression::UseUnicodePropertiesOption)
{
    Q_ASSERT_X(m_expression.isValid(), "TextPattern", qPrintable(m_expression.errorString()));
    m_expression.optimize();
}

QString TextPattern::replaced(const QString& text, const QString& replacement) const
{
    return replaced(text, [&replacement](const QRegularExpressionMatch&) { return replacement; });
}

// The engine refuses to match anything in text that is not valid UTF-16, so it searches a copy in which each lone
// surrogate is U+FFFD; the copy has the same length, so the result is spliced from the original and keeps them.
static QString searchable(const QString& text)
{
    return UnicodeText::containsLoneSurrogate(text) ? UnicodeText::withLoneSurrogatesReplaced(text) : text;
}

QString TextPattern::replaced(const QString& text,
                              const std::function<QString(const QRegularExpressionMatch&)>& replacement) const
{
    QRegularExpressionMatchIterator matches = m_expression.globalMatch(searchable(text));
    if (!matches.hasNext()) {
        return text;
    }
    QString result;
    result.reserve(text.size());
    qsizetype copied = 0;
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += QStringView(text).mid(copied, match.capturedStart() - copied);
        result += replacement(match);
        copied = match.capturedEnd();
    }
    result += QStringView(text).mid(copied);
    return result;
}

QString TextPattern::replacedOnce(const QString& text, const QString& replacement) const
{
    const QRegularExpressionMatch match = m_expression.match(searchable(text));
    if (!match.hasMatch()) {
        return text;
    }
    return text.left(match.capturedStart()) + replacement + text.mid(match.capturedEnd());
}

} // namespace sayloom
