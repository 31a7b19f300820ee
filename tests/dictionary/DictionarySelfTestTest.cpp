#include "dictionary/DictionarySelfTest.h"

#include "dictionary/DictionaryLint.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

QStringList runWith(const DictionarySelfTest::Subject& subject, bool* passed = nullptr)
{
    QStringList lines;
    const bool result = DictionarySelfTest::run(subject, [&lines](const QString& line) { lines.append(line); });
    if (passed) {
        *passed = result;
    }
    return lines;
}

TEST(DictionarySelfTest, PassesWithTheRealCorrectorAndLint)
{
    bool passed = false;
    EXPECT_EQ(runWith(DictionarySelfTest::standardSubject(), &passed),
              QStringList{u"PASS  18 correction cases, 8 warning cases"_s});
    EXPECT_TRUE(passed);
}

TEST(DictionarySelfTest, ReportsEachFailingCaseInItsOwnLine)
{
    auto subject = DictionarySelfTest::standardSubject();
    const auto real = subject.correct;

    // Counting a match that already equals its replacement.
    subject.correct = [real](const QString& text) {
        auto result = real(text);
        if (text == u"Already Claude Code here"_s) {
            result.corrections.append({u"Claude Code"_s, u"Claude Code"_s, 8, 11});
        }
        return result;
    };
    bool passed = true;
    EXPECT_EQ(runWith(subject, &passed),
              (QStringList{u"FAIL  \"Already Claude Code here\" -> \"Already Claude Code here\" (1 fixes), expected "
                           u"\"Already Claude Code here\" (0)"_s,
                           u"FAILED"_s}));
    EXPECT_FALSE(passed);

    // Locations that point into the input instead of the output: the text is right, case 17 still fails.
    subject.correct = [real](const QString& text) {
        auto result = real(text);
        for (auto& correction : result.corrections) {
            correction.location -= 1;
        }
        return result;
    };
    const QStringList lines = runWith(subject);
    EXPECT_TRUE(lines.contains(u"FAIL  \"ping velda, Velda!\" -> \"ping Velda, Velda!\" (1 fixes), expected "
                               u"\"ping Velda, Velda!\" (1)"_s));
    EXPECT_EQ(lines.last(), u"FAILED"_s);
}

TEST(DictionarySelfTest, LintFailuresListTheWarningsEscaped)
{
    auto subject = DictionarySelfTest::standardSubject();
    // Without a word list "cloud" is not an ordinary word, so the second warning case fails.
    subject.lint = [](const DictionaryEntry& entry) { return DictionaryLint::warnings(entry, {}, {}); };
    EXPECT_EQ(runWith(subject), (QStringList{u"FAIL  lint cloud -> Claude: []"_s, u"FAILED"_s}));

    subject.lint = [](const DictionaryEntry& entry) {
        return entry.phrase == u"Supabase"_s ? QStringList{u"say \"hi\""_s, u"back\\slash"_s} : QStringList{u"x"_s};
    };
    EXPECT_EQ(runWith(subject),
              (QStringList{u"FAIL  lint cloud code -> Claude Code: [\"x\"]"_s,
                           u"FAIL  lint Supabase -> Supabase: [\"say \\\"hi\\\"\", \"back\\\\slash\"]"_s,
                           u"FAIL  lint Anthropic -> Anthropic: [\"x\"]"_s, u"FAIL  lint velda -> Velda: [\"x\"]"_s,
                           u"FAILED"_s}));
}

} // namespace
