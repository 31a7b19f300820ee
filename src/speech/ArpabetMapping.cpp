#include "speech/ArpabetMapping.h"

#include <QHash>

#include <algorithm>
#include <utility>

namespace sayloom {

using namespace Qt::StringLiterals;

namespace {

// espeak-ng symbol → CMU phones. Vowels keep their length mark as espeak writes it; r-coloured vowels come as one
// espeak phoneme ("ɛɹ") but two CMU phones.
const QHash<QString, QString>& ipaTable()
{
    static const QHash<QString, QString> table = {
            // Vowels and diphthongs.
            {u"ɑː"_s, u"AA"_s},
            {u"ɑ"_s, u"AA"_s},
            {u"ɒ"_s, u"AA"_s},
            {u"æ"_s, u"AE"_s},
            {u"a"_s, u"AE"_s},
            {u"ʌ"_s, u"AH"_s},
            {u"ə"_s, u"AH"_s},
            {u"ɐ"_s, u"AH"_s},
            {u"ɔː"_s, u"AO"_s},
            {u"ɔ"_s, u"AO"_s},
            {u"aʊ"_s, u"AW"_s},
            {u"aɪ"_s, u"AY"_s},
            {u"ɛ"_s, u"EH"_s},
            {u"e"_s, u"EH"_s},
            {u"ɜː"_s, u"ER"_s},
            {u"ɜ"_s, u"ER"_s},
            {u"ɚ"_s, u"ER"_s},
            {u"eɪ"_s, u"EY"_s},
            {u"ɪ"_s, u"IH"_s},
            {u"ᵻ"_s, u"IH"_s},
            {u"i"_s, u"IY"_s},
            {u"iː"_s, u"IY"_s},
            {u"iə"_s, u"IY"_s},
            {u"oʊ"_s, u"OW"_s},
            {u"o"_s, u"OW"_s},
            {u"oː"_s, u"OW"_s},
            {u"ɔɪ"_s, u"OY"_s},
            {u"ʊ"_s, u"UH"_s},
            {u"u"_s, u"UW"_s},
            {u"uː"_s, u"UW"_s},
            // R-coloured vowels and syllabic consonants.
            {u"ɑːɹ"_s, u"AA R"_s},
            {u"ɑɹ"_s, u"AA R"_s},
            {u"ɔːɹ"_s, u"AO R"_s},
            {u"ɔɹ"_s, u"AO R"_s},
            {u"oːɹ"_s, u"AO R"_s},
            {u"oɹ"_s, u"AO R"_s},
            {u"ɛɹ"_s, u"EH R"_s},
            {u"eɹ"_s, u"EH R"_s},
            {u"ɪɹ"_s, u"IH R"_s},
            {u"iɹ"_s, u"IH R"_s},
            {u"ʊɹ"_s, u"UH R"_s},
            {u"aɪɚ"_s, u"AY ER"_s},
            {u"aʊɚ"_s, u"AW ER"_s},
            {u"əl"_s, u"AH L"_s},
            {u"l̩"_s, u"AH L"_s},
            {u"n̩"_s, u"AH N"_s},
            {u"m̩"_s, u"AH M"_s},
            // Consonants.
            {u"b"_s, u"B"_s},
            {u"tʃ"_s, u"CH"_s},
            {u"d"_s, u"D"_s},
            {u"ð"_s, u"DH"_s},
            {u"f"_s, u"F"_s},
            {u"ɡ"_s, u"G"_s},
            {u"g"_s, u"G"_s},
            {u"h"_s, u"HH"_s},
            {u"dʒ"_s, u"JH"_s},
            {u"k"_s, u"K"_s},
            {u"x"_s, u"K"_s},
            {u"l"_s, u"L"_s},
            {u"ɫ"_s, u"L"_s},
            {u"m"_s, u"M"_s},
            {u"n"_s, u"N"_s},
            {u"ŋ"_s, u"NG"_s},
            {u"p"_s, u"P"_s},
            {u"ɹ"_s, u"R"_s},
            {u"r"_s, u"R"_s},
            {u"s"_s, u"S"_s},
            {u"ʃ"_s, u"SH"_s},
            {u"t"_s, u"T"_s},
            // The American flap and glottal stop stand for a t or d; the model has neither.
            {u"ɾ"_s, u"T"_s},
            {u"ʔ"_s, u"T"_s},
            {u"θ"_s, u"TH"_s},
            {u"v"_s, u"V"_s},
            {u"w"_s, u"W"_s},
            {u"ʍ"_s, u"W"_s},
            {u"j"_s, u"Y"_s},
            {u"z"_s, u"Z"_s},
            {u"ʒ"_s, u"ZH"_s},
    };
    return table;
}

int longestSymbol()
{
    static const int length = [] {
        const auto& table = ipaTable();
        qsizetype longest = 0;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            longest = std::max(longest, it.key().size());
        }
        return int(longest);
    }();
    return length;
}

bool isMark(QChar c)
{
    // Primary and secondary stress, length, half-length and the syllable break.
    return c == u'ˈ' || c == u'ˌ' || c == u'ː' || c == u'ˑ' || c == u'.' || c == u'\'' || c == u',';
}

// One espeak phoneme: the whole symbol when the table knows it, else the longest known symbols from the left.
void appendPhoneme(const QString& phoneme, QStringList& phones)
{
    QString symbol;
    for (const QChar c : phoneme) {
        if (c != u'ː' && isMark(c)) {
            continue;
        }
        symbol += c;
    }
    const auto& table = ipaTable();
    qsizetype at = 0;
    while (at < symbol.size()) {
        qsizetype length = std::min<qsizetype>(longestSymbol(), symbol.size() - at);
        for (; length > 0; --length) {
            const auto found = table.constFind(symbol.mid(at, length));
            if (found != table.cend()) {
                phones += found->split(u' ');
                break;
            }
        }
        // Unknown: skip one character (a stray length mark, a diacritic the table does not list).
        at += std::max<qsizetype>(length, 1);
    }
}

} // namespace

QStringList arpabetFromIpa(const QString& ipa)
{
    QStringList phones;
    for (const QString& word : ipa.split(u' ', Qt::SkipEmptyParts)) {
        for (const QString& phoneme : word.split(u'_', Qt::SkipEmptyParts)) {
            appendPhoneme(phoneme, phones);
        }
    }
    return phones;
}

const QStringList& arpabetPhones()
{
    static const QStringList phones = {
            u"AA"_s, u"AE"_s, u"AH"_s, u"AO"_s, u"AW"_s, u"AY"_s, u"B"_s,  u"CH"_s, u"D"_s,  u"DH"_s,
            u"EH"_s, u"ER"_s, u"EY"_s, u"F"_s,  u"G"_s,  u"HH"_s, u"IH"_s, u"IY"_s, u"JH"_s, u"K"_s,
            u"L"_s,  u"M"_s,  u"N"_s,  u"NG"_s, u"OW"_s, u"OY"_s, u"P"_s,  u"R"_s,  u"S"_s,  u"SH"_s,
            u"T"_s,  u"TH"_s, u"UH"_s, u"UW"_s, u"V"_s,  u"W"_s,  u"Y"_s,  u"Z"_s,  u"ZH"_s,
    };
    return phones;
}

} // namespace sayloom
