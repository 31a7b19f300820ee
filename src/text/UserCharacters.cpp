#include "text/UserCharacters.h"

#include <QChar>

namespace sayloom::UserCharacters {

namespace {

enum class Jamo { none, leading, vowel, trailing, syllableLV, syllableLVT };

Jamo jamo(char32_t c)
{
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97C)) {
        return Jamo::leading;
    }
    if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6)) {
        return Jamo::vowel;
    }
    if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB)) {
        return Jamo::trailing;
    }
    if (c >= 0xAC00 && c <= 0xD7A3) {
        return (c - 0xAC00) % 28 == 0 ? Jamo::syllableLV : Jamo::syllableLVT;
    }
    return Jamo::none;
}

bool isControl(char32_t c)
{
    if (c == u'\r' || c == u'\n') {
        return true;
    }
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Other_Format:
        // The joiners extend; other format characters such as the bidirectional marks stand alone.
        return c != 0x200C && c != 0x200D && !(c >= 0xE0020 && c <= 0xE007F);
    default:
        return false;
    }
}

} // namespace

bool isExtending(char32_t c)
{
    if (c < 0x300) {
        return false;
    }
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        // Thai and Lao SARA AM are letters that Unicode counts as spacing marks.
        return c == 0x200C || c == 0x200D || c == 0x0E33 || c == 0x0EB3 || (c >= 0x1F3FB && c <= 0x1F3FF) ||
               (c >= 0xE0020 && c <= 0xE007F);
    }
}

namespace detail {

bool isPictographic(char32_t c)
{
    return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || c == 0x00A9 || c == 0x00AE ||
           (c >= 0x2190 && c <= 0x21FF) || (c >= 0x2300 && c <= 0x23FF) || (c >= 0x2B00 && c <= 0x2BFF);
}

bool breaksBetween(char32_t previous, char32_t next, bool pictographicJoiner, int regionalCount)
{
    if (previous == u'\r' && next == u'\n') {
        return false;
    }
    // Nothing below the combining marks joins, so most of a Latin text takes this way.
    if (next < 0x300) {
        return true;
    }
    if (isControl(previous) || isControl(next)) {
        return true;
    }
    const Jamo before = jamo(previous);
    const Jamo after = jamo(next);
    if (before == Jamo::leading && after != Jamo::none && after != Jamo::trailing) {
        return false;
    }
    if ((before == Jamo::syllableLV || before == Jamo::vowel) && (after == Jamo::vowel || after == Jamo::trailing)) {
        return false;
    }
    if ((before == Jamo::syllableLVT || before == Jamo::trailing) && after == Jamo::trailing) {
        return false;
    }
    if (isExtending(next)) {
        return false;
    }
    // A virama links two consonants of an Indic script into one conjunct.
    if (QChar::combiningClass(previous) == 9 && QChar::category(next) == QChar::Letter_Other) {
        return false;
    }
    if (pictographicJoiner && isPictographic(next)) {
        return false;
    }
    if (isRegionalIndicator(previous) && isRegionalIndicator(next)) {
        return regionalCount % 2 == 0;
    }
    return true;
}

} // namespace detail

qsizetype count(QStringView text)
{
    qsizetype characters = 0;
    forEach(text, [&characters](qsizetype, qsizetype) { ++characters; });
    return characters;
}

} // namespace sayloom::UserCharacters
