#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Small Unicode helpers shared by the dictionary's file format, corrector and lint. Every function works on
// code points, treating a lone surrogate as a code point of its own, so no input can make them misbehave.
namespace sayloom::UnicodeText {

// Unicode White_Space: tab, the line breaks, space, no-break space and the other separators.
bool isWhiteSpace(char32_t c);
// Horizontal blanks: space, tab and the space separators (general category Zs). Line breaks are not blanks.
bool isBlank(char32_t c);
// The characters that end a line in the dictionary file and the system word list.
bool isLineBreak(char32_t c);

// Removes blanks from both ends.
QStringView trimmedBlanks(QStringView text);

// Splits at line breaks (a CR LF pair counts as one break) and drops empty lines.
QList<QStringView> nonEmptyLines(QStringView text);

// Number of code points that are letters (general category L*).
qsizetype letterCount(QStringView text);

// Whether text.toLower() == lowered, without building the lower-cased copy in the common case.
bool lowerCasedEquals(QStringView text, QStringView lowered);

bool containsLoneSurrogate(QStringView text);
// Replaces every lone surrogate by U+FFFD; the length in code units stays the same.
QString withLoneSurrogatesReplaced(const QString& text);

// Reads the next code point at `index` and advances it; a lone surrogate is returned as itself.
inline char32_t nextCodePoint(QStringView text, qsizetype& index)
{
    const char16_t high = text[index].unicode();
    ++index;
    if (QChar::isHighSurrogate(high) && index < text.size() && QChar::isLowSurrogate(text[index].unicode())) {
        return QChar::surrogateToUcs4(high, text[index++].unicode());
    }
    return high;
}

} // namespace sayloom::UnicodeText
