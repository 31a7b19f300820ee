#include "base/UnicodeText.h"

namespace sayloom::UnicodeText {

bool isWhiteSpace(char32_t c)
{
    switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

bool isBlank(char32_t c)
{
    if (c == u'\t' || c == u' ') {
        return true;
    }
    return c > 0x7F && QChar::category(c) == QChar::Separator_Space;
}

bool isLineBreak(char32_t c)
{
    switch (c) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QStringView trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype next = begin;
        if (!isBlank(nextCodePoint(text, next))) {
            break;
        }
        begin = next;
    }
    qsizetype end = text.size();
    while (end > begin) {
        // Blanks all live in the Basic Multilingual Plane, so one code unit at a time is enough.
        if (!isBlank(text[end - 1].unicode())) {
            break;
        }
        --end;
    }
    return text.sliced(begin, end - begin);
}

QList<QStringView> nonEmptyLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Line breaks all live in the Basic Multilingual Plane and are never surrogates.
        const char16_t c = text[i].unicode();
        if (!isLineBreak(c)) {
            continue;
        }
        if (i > start) {
            lines.append(text.sliced(start, i - start));
        }
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.append(text.sliced(start));
    }
    return lines;
}

qsizetype letterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (QChar::isLetter(nextCodePoint(text, i))) {
            ++count;
        }
    }
    return count;
}

bool lowerCasedEquals(QStringView text, QStringView lowered)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < text.size() && j < lowered.size()) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            // The lint compares every entry with every other; plain ASCII must not pay for the Unicode tables.
            if (char16_t(unit >= u'A' && unit <= u'Z' ? unit + 32 : unit) != lowered[j].unicode()) {
                return false;
            }
            ++i;
            ++j;
            continue;
        }
        const char32_t c = nextCodePoint(text, i);
        // Lower-casing a string maps code point by code point, except for the dotted capital I, which becomes two.
        if (c == 0x130) {
            return text.toString().toLower() == lowered;
        }
        if (QChar::toLower(c) != nextCodePoint(lowered, j)) {
            return false;
        }
    }
    return i == text.size() && j == lowered.size();
}

bool containsLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            return true;
        }
    }
    return false;
}

QString withLoneSurrogatesReplaced(const QString& text)
{
    if (!containsLoneSurrogate(text)) {
        return text;
    }
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const char16_t c = result[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < result.size() && QChar::isLowSurrogate(result[i + 1].unicode())) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            result[i] = QChar::ReplacementCharacter;
        }
    }
    return result;
}

} // namespace sayloom::UnicodeText
