#include "dictionary/DictionarySelfTest.h"

#include "dictionary/DictionaryLint.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

// The printed lines, then whether the run passed.
QStringList runWith(const DictionarySelfTest::Subject& subject)
{
    QStringList lines;
    const bool passed = DictionarySelfTest::run(subject, [&lines](const QString& line) { lines.append(line); });
    return lines << (passed ? u"(passed)"_s : u"(failed)"_s);
}

TEST(DictionarySelfTest, PassesWithTheRealPartsAndReportsEachFailingCaseInItsOwnLine)
{
    EXPECT_EQ(runWith(DictionarySelfTest::standardSubject()),
              (QStringList{u"PASS  18 correction cases, 8 warning cases"_s, u"(passed)"_s}));

    auto subject = DictionarySelfTest::standardSubject();
    const auto real = subject.correct;
    // Locations that point into the input instead of the output: the text and the count are right, the range is not.
    subject.correct = [real](const QString& text) {
        auto result = real(text);
        for (auto& correction : result.corrections) {
            correction.location -= text == u"ping velda, Velda!"_s ? 1 : 0;
        }
        return result;
    };
    // A lint that warns about everything, with a quote and a backslash to escape.
    subject.lint = [](const DictionaryEntry& entry) {
        return entry.phrase == u"Supabase"_s ? QStringList{u"say \"hi\""_s, u"back\\slash"_s} : QStringList{u"x"_s};
    };
    EXPECT_EQ(runWith(subject),
              (QStringList{u"FAIL  \"ping velda, Velda!\" -> \"ping Velda, Velda!\" (1 fixes), expected "
                           u"\"ping Velda, Velda!\" (1)"_s,
                           u"FAIL  lint cloud code -> Claude Code: [\"x\"]"_s,
                           u"FAIL  lint Supabase -> Supabase: [\"say \\\"hi\\\"\", \"back\\\\slash\"]"_s,
                           u"FAIL  lint Anthropic -> Anthropic: [\"x\"]"_s, u"FAIL  lint velda -> Velda: [\"x\"]"_s,
                           u"FAILED"_s, u"(failed)"_s}));

    // Counting a match that already equals its replacement; without a word list "cloud" is no ordinary word.
    subject = DictionarySelfTest::standardSubject();
    subject.correct = [real](const QString& text) {
        auto result = real(text);
        if (text == u"Already Claude Code here"_s) {
            result.corrections.append({u"Claude Code"_s, u"Claude Code"_s, 8, 11});
        }
        return result;
    };
    subject.lint = [](const DictionaryEntry& entry) { return DictionaryLint::warnings(entry, {}, {}); };
    EXPECT_EQ(runWith(subject), (QStringList{u"FAIL  \"Already Claude Code here\" -> \"Already Claude Code here\" "
                                             u"(1 fixes), expected \"Already Claude Code here\" (0)"_s,
                                             u"FAIL  lint cloud -> Claude: []"_s, u"FAILED"_s, u"(failed)"_s}));
}

} // namespace
