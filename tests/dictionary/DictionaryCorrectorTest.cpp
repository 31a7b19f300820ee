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

std::string utf8(const QString& text)
{
    return text.toStdString();
}

DictionaryCorrector exampleCorrector()
{
    return DictionaryCorrector(DictionarySelfTest::testDictionary());
}

TEST(DictionaryCorrector, PartsCutAtWhiteSpaceAndHyphenMinusOnly)
{
    EXPECT_EQ(DictionaryCorrector::parts(u"cloud-code"), (QStringList{u"cloud"_s, u"code"_s}));
    EXPECT_EQ(DictionaryCorrector::parts(u"cloud  code"), (QStringList{u"cloud"_s, u"code"_s}));
    EXPECT_EQ(DictionaryCorrector::parts(u" a\u00A0b\u2003c\nd\u3000e- "),
              (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}));
    EXPECT_EQ(DictionaryCorrector::parts(u"Next.js"), QStringList{u"Next.js"_s});
    // Other dashes are ordinary characters.
    EXPECT_EQ(DictionaryCorrector::parts(u"a\u2013b"), QStringList{u"a\u2013b"_s});
    EXPECT_TRUE(DictionaryCorrector::parts(u"-").isEmpty());
    EXPECT_TRUE(DictionaryCorrector::parts(u"").isEmpty());
}

TEST(DictionaryCorrector, PatternIsLiteralPartsBetweenWordBoundaries)
{
    EXPECT_EQ(DictionaryCorrector::patternSource({u"cloud"_s, u"code"_s}),
              u"(?<![\\p{L}\\p{N}])cloud(?:\\s*-\\s*|\\s+)?code(?![\\p{L}\\p{N}])"_s);
    EXPECT_EQ(DictionaryCorrector::patternSource({u"Next.js"_s}), u"(?<![\\p{L}\\p{N}])Next\\.js(?![\\p{L}\\p{N}])"_s);
    for (const char16_t* part : {u"a+b", u"(x)", u"[y]", u"\\q", u"$^|?*{2}", u"\U0001F600", u"\u00E9"}) {
        const auto pattern = DictionaryCorrector::pattern({QString::fromUtf16(part)});
        ASSERT_TRUE(pattern.has_value()) << utf8(QString::fromUtf16(part));
        EXPECT_TRUE(pattern->match(u" " + QString::fromUtf16(part) + u" ").hasMatch())
                << utf8(QString::fromUtf16(part));
    }
    EXPECT_FALSE(DictionaryCorrector::pattern({u"a"_s + QChar(0xD800)}).has_value());
    // NUL followed by digits must not turn into an octal escape.
    const auto nul = DictionaryCorrector::pattern({QChar(0) + u"12"_s});
    ASSERT_TRUE(nul.has_value());
    EXPECT_TRUE(nul->match(u" "_s + QChar(0) + u"12 "_s).hasMatch());
    EXPECT_FALSE(nul->match(u" \n "_s).hasMatch());
}

TEST(DictionaryCorrector, RulesFollowCandidateOrderAndFirstKeyWins)
{
    QStringList keys;
    QStringList replacements;
    const DictionaryCorrector example = exampleCorrector();
    for (const auto& rule : example.rules()) {
        keys.append(rule.key);
        replacements.append(rule.replacement);
    }
    EXPECT_EQ(keys, (QStringList{u"cloud code"_s, u"super base"_s, u"velda"_s, u"claude"_s, u"claude code"_s,
                                 u"supabase"_s, u"next.js"_s}));
    EXPECT_EQ(replacements.first(), u"Claude Code"_s);

    // "cloud-code" has the same key as "cloud code": the earlier correction keeps it.
    const DictionaryCorrector corrector(
            {DictionaryEntry(u"First"_s, u"cloud code"_s), DictionaryEntry(u"Second"_s, u"Cloud-Code"_s)});
    EXPECT_EQ(corrector.apply(u"cloud code"_s).text, u"First"_s);
    EXPECT_TRUE(DictionaryCorrector(QList<DictionaryEntry>{}).rules().isEmpty());
}

struct ApplyCase {
    const char16_t* input;
    const char16_t* output;
    std::vector<AppliedCorrection> corrections;
};

class DictionaryCorrectorApply : public testing::TestWithParam<ApplyCase> {};

TEST_P(DictionaryCorrectorApply, GivesTextAndCorrections)
{
    const auto result = exampleCorrector().apply(QString::fromUtf16(GetParam().input));
    EXPECT_EQ(utf8(result.text), utf8(QString::fromUtf16(GetParam().output)));
    EXPECT_EQ(std::vector<AppliedCorrection>(result.corrections.begin(), result.corrections.end()),
              GetParam().corrections);
}

AppliedCorrection fix(const char16_t* heard, const char16_t* written, qint64 location)
{
    const QString w = QString::fromUtf16(written);
    return {QString::fromUtf16(heard), w, location, w.size()};
}

INSTANTIATE_TEST_SUITE_P(
        ExampleDictionary, DictionaryCorrectorApply,
        testing::Values(
                ApplyCase{u"ask claude code now", u"ask Claude Code now", {fix(u"claude code", u"Claude Code", 4)}},
                ApplyCase{u"I use CloudCode daily", u"I use Claude Code daily", {fix(u"CloudCode", u"Claude Code", 6)}},
                ApplyCase{u"cloud - code works", u"Claude Code works", {fix(u"cloud - code", u"Claude Code", 0)}},
                ApplyCase{u"cloud\ncode", u"Claude Code", {fix(u"cloud\ncode", u"Claude Code", 0)}},
                ApplyCase{u"move to super base and superbase",
                          u"move to Supabase and Supabase",
                          {fix(u"super base", u"Supabase", 8), fix(u"superbase", u"Supabase", 21)}},
                ApplyCase{u"built with next.js, not nextXjs",
                          u"built with Next.js, not nextXjs",
                          {fix(u"next.js", u"Next.js", 11)}},
                ApplyCase{u"ping velda, Velda!", u"ping Velda, Velda!", {fix(u"velda", u"Velda", 5)}},
                // Letters and digits of any script are word characters; underscores and apostrophes are not.
                ApplyCase{u"\u00E9velda velda2 _velda_", u"\u00E9velda velda2 _Velda_", {fix(u"velda", u"Velda", 15)}},
                ApplyCase{u"\u0645\u0631\u062D\u0628\u0627 velda \u05E9\u05DC\u05D5\u05DD",
                          u"\u0645\u0631\u062D\u0628\u0627 Velda \u05E9\u05DC\u05D5\u05DD",
                          {fix(u"velda", u"Velda", 6)}},
                // Positions count UTF-16 code units: the emoji is two.
                ApplyCase{u"\U0001F600 velda", u"\U0001F600 Velda", {fix(u"velda", u"Velda", 3)}},
                // Case-insensitive matching is Unicode-aware.
                ApplyCase{u"VELDA and v\u0435lda", u"Velda and v\u0435lda", {fix(u"VELDA", u"Velda", 0)}}));

TEST(DictionaryCorrector, ComparesMatchesByCanonicalEquivalence)
{
    // The Kelvin and Angstrom signs match K and \u00C5 ignoring case and are canonically the same text: the entry's
    // spelling is written, but nothing is reported as corrected.
    const DictionaryCorrector corrector({DictionaryEntry(u"Kelvin"_s), DictionaryEntry(u"\u00C5ngstr\u00F6m"_s)});
    const auto equivalent = corrector.apply(u"\u212Aelvin and \u212Bngstr\u00F6m"_s);
    EXPECT_EQ(equivalent.text, u"Kelvin and \u00C5ngstr\u00F6m"_s);
    EXPECT_TRUE(equivalent.corrections.isEmpty());
    const auto lower = corrector.apply(u"kelvin"_s);
    ASSERT_EQ(lower.corrections.size(), 1);
    EXPECT_EQ(lower.corrections.first().heard, u"kelvin"_s);
}

TEST(DictionaryCorrector, OverlapsGoToTheLongerThenEarlierThenFirstRule)
{
    const DictionaryCorrector corrector({DictionaryEntry(u"AB"_s, u"a b"_s), DictionaryEntry(u"BC"_s, u"b c"_s),
                                         DictionaryEntry(u"ABC"_s, u"a b c"_s)});
    EXPECT_EQ(corrector.apply(u"a b c"_s).text, u"ABC"_s);
    EXPECT_EQ(corrector.apply(u"a b c d a b"_s).text, u"ABC d AB"_s);
    EXPECT_EQ(corrector.apply(u"b c a b"_s).text, u"BC AB"_s);
    // Without the longer rule, "a b" and "b c" overlap in "a b c": the earlier start wins whatever the rule order.
    const DictionaryCorrector pair({DictionaryEntry(u"BC"_s, u"b c"_s), DictionaryEntry(u"AB"_s, u"a b"_s)});
    EXPECT_EQ(pair.apply(u"a b c"_s).text, u"AB c"_s);
    // "a b" (joined up) and "ab" have different keys but match the same range: the earlier candidate wins.
    EXPECT_EQ(DictionaryCorrector({DictionaryEntry(u"P"_s, u"a b"_s), DictionaryEntry(u"Q"_s, u"ab"_s)})
                      .apply(u"ab"_s)
                      .text,
              u"P"_s);
    EXPECT_EQ(DictionaryCorrector({DictionaryEntry(u"Q"_s, u"ab"_s), DictionaryEntry(u"P"_s, u"a b"_s)})
                      .apply(u"ab"_s)
                      .text,
              u"Q"_s);
}

TEST(DictionaryCorrector, LoneSurrogatesNeitherBreakMatchingNorJoinWords)
{
    const auto corrector = exampleCorrector();
    const QString text = u"a" + QChar(0xD800) + u"velda " + QChar(0xDC00) + u" super base";
    const auto result = corrector.apply(text);
    EXPECT_EQ(result.text, u"a" + QChar(0xD800) + u"Velda " + QChar(0xDC00) + u" Supabase");
    ASSERT_EQ(result.corrections.size(), 2);
    EXPECT_EQ(result.corrections[0].location, 2);
    // An entry that holds a lone surrogate cannot form a pattern and is left out.
    const DictionaryCorrector broken({DictionaryEntry(u"x"_s + QChar(0xDBFF))});
    EXPECT_TRUE(broken.rules().isEmpty());
}

TEST(DictionaryCorrector, CopiesShareRulesAndApplyConcurrently)
{
    const auto corrector = exampleCorrector();
    const QString text = u"open cloud code please, move to super base, ping velda, built with next.js"_s;
    const auto expected = StraightforwardCorrector(DictionarySelfTest::testDictionary()).apply(text);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches = 0;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([corrector, text, &expected, &mismatches] {
            for (int i = 0; i < 200; ++i) {
                const auto result = corrector.apply(text);
                if (result.text != expected.text || result.corrections != expected.corrections) {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, 0);
}

// Random dictionaries over a small alphabet make matches, overlaps, joined-up and hyphenated forms frequent; the
// alphabet includes letters whose case pairs are irregular, combining marks, a non-BMP letter and lone surrogates.
QString randomWord(QRandomGenerator& random)
{
    static const QStringList pieces{
            u"a"_s,          u"b"_s,      u"A"_s,      u"B"_s,      u"c"_s,           u"\u00DF"_s, u"\u1E9E"_s,
            u"\u0131"_s,     u"I"_s,      u"i"_s,      u"\u0130"_s, u"\u017F"_s,      u"s"_s,      u"\u03C3"_s,
            u"\u03C2"_s,     u"\u03A3"_s, u"\u212A"_s, u"k"_s,      u"e\u0301"_s,     u"\u00E9"_s, u"\U00010400"_s,
            u"\U00010428"_s, u"."_s,      u"1"_s,      u"'"_s,      QString(QChar(0))};
    QString word;
    const int length = 1 + random.bounded(3);
    for (int i = 0; i < length; ++i) {
        word += pieces[random.bounded(pieces.size())];
    }
    return word;
}

QString randomText(QRandomGenerator& random, int words)
{
    static const QStringList gaps{u" "_s,
                                  u"  "_s,
                                  u"-"_s,
                                  u" - "_s,
                                  u"\n"_s,
                                  u""_s,
                                  u", "_s,
                                  u"_"_s,
                                  u"\u00A0"_s,
                                  u"\U0001F600"_s,
                                  QString(QChar(0xD800)),
                                  QString(QChar(0xDC00))};
    QString text;
    for (int i = 0; i < words; ++i) {
        text += randomWord(random) + gaps[random.bounded(gaps.size())];
    }
    return text;
}

TEST(DictionaryCorrector, AgreesWithTheStraightforwardCorrectorOnRandomInput)
{
    QRandomGenerator random(20261206);
    int corrections = 0;
    for (int round = 0; round < 400; ++round) {
        QList<DictionaryEntry> entries;
        const int count = random.bounded(12);
        for (int i = 0; i < count; ++i) {
            const QString phrase =
                    randomWord(random) + (random.bounded(3) == 0 ? u" "_s + randomWord(random) : QString());
            if (random.bounded(2) == 0) {
                entries.append(DictionaryEntry(phrase));
            } else {
                entries.append(DictionaryEntry(phrase, randomWord(random) + u"-"_s + randomWord(random)));
            }
        }
        const DictionaryCorrector fast(entries);
        const StraightforwardCorrector oracle(entries);
        for (int t = 0; t < 5; ++t) {
            const QString text = randomText(random, random.bounded(30));
            const auto expected = oracle.apply(text);
            const auto actual = fast.apply(text);
            ASSERT_EQ(actual.text, expected.text) << "text: " << utf8(text);
            ASSERT_EQ(actual.corrections, expected.corrections) << "text: " << utf8(text);
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
