#include "dictionary/DictionaryCorrector.h"

#include "dictionary/DictionarySelfTest.h"
#include "support/Printers.h"
#include "support/StraightforwardCorrector.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <thread>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

TEST(DictionaryCorrector, PartsCutAtWhiteSpaceAndHyphenMinusOnly)
{
    EXPECT_EQ(DictionaryCorrector::parts(u"cloud-code"), (QStringList{u"cloud"_s, u"code"_s}));
    EXPECT_EQ(DictionaryCorrector::parts(u" a\u00A0b\u2000c\nd\u3000e-  f\u200Ag"),
              (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s}));
    // Other dashes and punctuation are ordinary characters.
    EXPECT_EQ(DictionaryCorrector::parts(u"Next.js a\u2013b"), (QStringList{u"Next.js"_s, u"a\u2013b"_s}));
    EXPECT_TRUE(DictionaryCorrector::parts(u"-").isEmpty());
    EXPECT_TRUE(DictionaryCorrector::parts(u"").isEmpty());
}

TEST(DictionaryCorrector, PatternIsLiteralPartsBetweenWordBoundaries)
{
    EXPECT_EQ(DictionaryCorrector::patternSource({u"cloud"_s, u"code"_s}),
              u"(?<![\\p{L}\\p{N}])cloud(?:\\s*-\\s*|\\s+)?code(?![\\p{L}\\p{N}])"_s);
    EXPECT_EQ(DictionaryCorrector::patternSource({u"Next.js"_s}), u"(?<![\\p{L}\\p{N}])Next\\.js(?![\\p{L}\\p{N}])"_s);
    for (const QString& part : {u"a+b"_s, u"(x)"_s, u"[y]"_s, u"\\q"_s, u"$^|?*{2}"_s, u"\U0001F600"_s, u"\u00E9"_s}) {
        const auto pattern = DictionaryCorrector::pattern({part});
        EXPECT_TRUE(pattern && pattern->match(u" " + part + u" ").hasMatch()) << part.toStdString();
    }
    EXPECT_FALSE(DictionaryCorrector::pattern({u"a"_s + QChar(0xD800)}).has_value());
    // NUL followed by digits must not turn into an octal escape.
    const auto nul = DictionaryCorrector::pattern({QChar(0) + u"12"_s});
    ASSERT_TRUE(nul.has_value());
    EXPECT_TRUE(nul->match(u" "_s + QChar(0) + u"12 "_s).hasMatch() && !nul->match(u" \n "_s).hasMatch());
}

// The self-test's cases cover the example dictionary's ordinary spellings, and the comparison with the
// straightforward corrector below covers rule order, overlaps, positions and canonical equivalence, but not what the
// pattern both share counts as a word.
TEST(DictionaryCorrector, WordsAreLettersAndDigitsOfAnyScriptMatchedIgnoringCase)
{
    const DictionaryCorrector corrector(DictionarySelfTest::testDictionary());
    // Underscores and apostrophes are not word characters.
    EXPECT_EQ(corrector.apply(u"\u00E9velda velda2 \u0645velda _velda_"_s).text,
              u"\u00E9velda velda2 \u0645velda _Velda_"_s);
    const auto result = corrector.apply(u"\u05E9\u05DC velda, VELDA and v\u0435lda"_s);
    EXPECT_EQ(result.text, u"\u05E9\u05DC Velda, Velda and v\u0435lda"_s);
    EXPECT_EQ(result.corrections,
              (QList<AppliedCorrection>{{u"velda"_s, u"Velda"_s, 3, 5}, {u"VELDA"_s, u"Velda"_s, 10, 5}}));
}

TEST(DictionaryCorrector, EntriesThatCannotFormAPatternAreLeftOut)
{
    // A lone surrogate, and a phrase past what the expression engine compiles; the other entries still work, and
    // "OK" adds no rule of its own, as its key ("ok") is taken.
    const QString huge = QString(100'000, u'o');
    const DictionaryCorrector corrector({DictionaryEntry(u"x"_s + QChar(0xDBFF)), DictionaryEntry(huge),
                                         DictionaryEntry(u"OK"_s, u"ok"_s), DictionaryEntry(u"OK"_s)});
    ASSERT_EQ(corrector.rules().size(), 1);
    EXPECT_EQ(corrector.apply(huge + u" ok"_s).text, huge + u" OK"_s);
}

TEST(DictionaryCorrector, CopiesShareRulesAndApplyConcurrently)
{
    const DictionaryCorrector corrector(DictionarySelfTest::testDictionary());
    const QString text = u"open cloud code please, move to super base, ping velda, built with next.js"_s;
    const auto expected = corrector.apply(text);
    std::atomic<int> mismatches = 0;
    std::vector<std::jthread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([corrector, &text, &expected, &mismatches] {
            for (int i = 0; i < 200; ++i) {
                mismatches += corrector.apply(text).corrections != expected.corrections;
            }
        });
    }
    threads.clear();
    EXPECT_EQ(expected.corrections.size(), 4);
    EXPECT_EQ(mismatches, 0);
}

// Random dictionaries over a small alphabet make matches, overlaps, joined-up and hyphenated forms frequent; the
// alphabet includes both ends of the ASCII capitals, letters whose case pairs are irregular, canonical equivalents,
// combining marks, a non-BMP letter and lone surrogates. Every other round uses only its first four letters, so that
// overlapping matches of the same length are common too.
const QStringList pieces = u"a b A B z Z c \u00DF \u1E9E \u0131 I i \u0130 \u017F s \u03C3 \u03C2 \u03A3 \u212A k K "
                           u"e\u0301 \u00E9 . 1 ' \U00010400 \U00010428"_s.split(u' ')
                           << QString(QChar(0));

QString randomWord(QRandomGenerator& random, int alphabet)
{
    QString word;
    const int length = 1 + random.bounded(3);
    for (int i = 0; i < length; ++i) {
        word += pieces[random.bounded(alphabet)];
    }
    return word;
}

QString randomText(QRandomGenerator& random, int alphabet, int words)
{
    static const QStringList gaps = u" |  |-| - |\n||, |_|\u00A0|\U0001F600"_s.split(u'|')
                                    << QString(QChar(0xD800)) << QString(QChar(0xDC00));
    QString text;
    for (int i = 0; i < words; ++i) {
        text += randomWord(random, alphabet) + gaps[random.bounded(gaps.size())];
    }
    return text;
}

TEST(DictionaryCorrector, AgreesWithTheStraightforwardCorrectorOnRandomInput)
{
    QRandomGenerator random(20261206);
    int corrections = 0;
    for (int round = 0; round < 400; ++round) {
        const int alphabet = round % 2 == 0 ? 4 : int(pieces.size());
        QList<DictionaryEntry> entries;
        const int count = random.bounded(12);
        for (int i = 0; i < count; ++i) {
            const QString phrase = randomWord(random, alphabet) +
                                   (random.bounded(3) == 0 ? u" "_s + randomWord(random, alphabet) : QString());
            if (random.bounded(2) == 0) {
                entries.append(DictionaryEntry(phrase));
            } else {
                entries.append(
                        DictionaryEntry(phrase, randomWord(random, alphabet) + u"-"_s + randomWord(random, alphabet)));
            }
        }
        const DictionaryCorrector fast(entries);
        const StraightforwardCorrector oracle(entries);
        for (int t = 0; t < 5; ++t) {
            const QString text = randomText(random, alphabet, random.bounded(30));
            const auto expected = oracle.apply(text);
            const auto actual = fast.apply(text);
            ASSERT_EQ(actual.text, expected.text) << "text: " << text.toStdString();
            ASSERT_EQ(actual.corrections, expected.corrections) << "text: " << text.toStdString();
            for (const auto& correction : actual.corrections) {
                ASSERT_EQ(actual.text.mid(correction.location, correction.length), correction.written);
            }
            corrections += int(actual.corrections.size());
        }
    }
    // The generator must actually exercise replacements, or the comparison proves nothing.
    EXPECT_GT(corrections, 300);
}

} // namespace
