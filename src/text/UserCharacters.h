#pragma once

#include <QStringView>

namespace sayloom::UserCharacters {

// User-perceived characters, the extended grapheme clusters of Unicode text segmentation: a base character with
// the marks, joiners, emoji modifiers and variation selectors that attach to it, a CR LF pair, a Hangul syllable
// spelled in jamo, a flag made of two regional indicators, an emoji sequence joined by zero-width joiners. Prepended
// concatenation marks are rare enough in dictation to count on their own.

// Whether `c` attaches to the character before it whatever that is: combining marks, the zero-width joiners, emoji
// modifiers and tags, and the two letters that Unicode counts as spacing marks. Pattern classes use the same set to
// judge a whole character.
bool isExtending(char32_t c);

// Calls `visit(start, end)` with the UTF-16 range of each user-perceived character, in order.
template <typename Visit>
void forEach(QStringView text, Visit&& visit);

qsizetype count(QStringView text);

namespace detail {
// Whether a character boundary lies between `previous` and `next`; `joiner` tells whether the character so far is an
// emoji followed by a zero-width joiner, `regionalCount` how many regional indicators end it.
bool breaksBetween(char32_t previous, char32_t next, bool pictographicJoiner, int regionalCount);
bool isPictographic(char32_t c);
inline bool isRegionalIndicator(char32_t c)
{
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}
} // namespace detail

template <typename Visit>
void forEach(QStringView text, Visit&& visit)
{
    qsizetype start = 0;
    qsizetype index = 0;
    char32_t previous = 0;
    bool pictographic = false;
    bool pictographicJoiner = false;
    int regionalCount = 0;
    while (index < text.size()) {
        const qsizetype here = index;
        char32_t c = text[index++].unicode();
        if (QChar::isHighSurrogate(c) && index < text.size() && text[index].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[index++].unicode());
        }
        if (here > 0 && detail::breaksBetween(previous, c, pictographicJoiner, regionalCount)) {
            visit(start, here);
            start = here;
            pictographic = false;
            regionalCount = 0;
        }
        if (detail::isPictographic(c)) {
            pictographic = true;
        }
        pictographicJoiner = pictographic && c == 0x200D;
        regionalCount = detail::isRegionalIndicator(c) ? regionalCount + 1 : 0;
        previous = c;
    }
    if (index > start) {
        visit(start, index);
    }
}

} // namespace sayloom::UserCharacters
