#include "support/Printers.h"
#include "text/AIPolisher.h"

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

struct Row {
    const char* name;
    QString answer;
    QString raw;
    // Nothing means rejected.
    std::optional<QString> expected;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

class Validation : public ::testing::TestWithParam<Row> {};

TEST_P(Validation, SanitisesAndJudges)
{
    const std::optional<QString> result = AIPolisher::validated(GetParam().answer, GetParam().raw);
    if (GetParam().expected) {
        ASSERT_TRUE(result.has_value()) << "rejected";
        EXPECT_EQ(*result, *GetParam().expected);
    } else {
        EXPECT_FALSE(result.has_value()) << result->toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
        Sanitising, Validation,
        ::testing::Values(Row{"straightQuotes", u"\"Hello there, friend.\""_s, u"hello there friend"_s,
                              u"Hello there, friend."_s},
                          Row{"typographicQuotesStay", u"“Hello there, friend.”"_s, u"hello there friend"_s,
                              u"“Hello there, friend.”"_s},
                          Row{"oneQuotePairOnly", u"\"\"Hello there\"\""_s, u"hello there"_s, u"\"Hello there\""_s},
                          Row{"quoteWithAccentIsNotAQuote", u"\"\u0301Hello there\""_s, u"hello there"_s,
                              u"\"\u0301Hello there\""_s},
                          Row{"preamble", u"Sure, here is the cleaned text:\nSee you at noon."_s, u"see you at noon"_s,
                              u"See you at noon."_s},
                          Row{"typographicApostrophePreamble", u"Here’s the result:\n\nSee you at noon."_s,
                              u"see you at noon"_s, u"See you at noon."_s},
                          Row{"preambleNeedsItsLineFeed", u"Okay: see you at noon"_s, u"okay see you at noon"_s,
                              u"Okay: see you at noon"_s},
                          Row{"preambleLongerThan60Stays",
                              u"Sure this is a very long first line that goes on well past sixty characters:\nok"_s,
                              u"sure this is a very long first line that goes on well past sixty characters ok"_s,
                              std::nullopt},
                          Row{"subjectLine", u"Subject: Meeting\nSee you at noon."_s, u"see you at noon"_s,
                              u"See you at noon."_s},
                          Row{"sameWordsLaterStay", u"We said sure, here: noon."_s, u"we said sure here noon"_s,
                              u"We said sure, here: noon."_s},
                          Row{"tagsAnywhere", u"<transcript>See you</transcript> at <transcript>noon"_s,
                              u"see you at noon"_s, u"See you at noon"_s},
                          Row{"onlyQuotes", u"\"\""_s, u"anything"_s, std::nullopt},
                          Row{"onlyWhiteSpace", u" \n\t "_s, u"anything"_s, std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
        Acceptance, Validation,
        ::testing::Values(
                Row{"listFromOneLine", u"- milk\n- eggs\n- bread"_s, u"milk eggs bread"_s, std::nullopt},
                Row{"blankLinesDoNotCount", u"milk\n\n\neggs"_s, u"milk\neggs"_s, u"milk\n\n\neggs"_s},
                Row{"ratioExactlyAQuarter", u"aaaa."_s, u"aaaa bbbb cccc ddddd"_s, std::nullopt},
                Row{"ratioJustAboveAQuarter", u"aaaa.."_s, u"aaaa bbbb cccc ddddd"_s, u"aaaa.."_s},
                Row{"ratioExactly1.6", u"abcde..."_s, u"abcde"_s, std::nullopt},
                Row{"ratioJustBelow1.6", u"abcde.."_s, u"abcde"_s, u"abcde.."_s},
                Row{"selfCorrectionDropsTooMuch", u"I think we should meet on Friday."_s,
                    u"um so I think we should uh meet on Tuesday no wait let's do Friday"_s, std::nullopt},
                Row{"oneNewWordAlwaysAllowed", u"one two three four five six"_s, u"one two three four five"_s,
                    u"one two three four five six"_s},
                Row{"secondNewWordNeedsFourteenWords", u"one two three four five six seven"_s,
                    u"one two three four five"_s, std::nullopt},
                Row{"twoNewWordsAmongFourteen",
                    u"alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike november"_s,
                    u"alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima"_s,
                    u"alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike november"_s},
                Row{"fourDroppedOfTwelve", u"alpha bravo charlie delta echo foxtrot golf hotel"_s,
                    u"alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima"_s,
                    u"alpha bravo charlie delta echo foxtrot golf hotel"_s},
                Row{"fourDroppedOfEleven", u"alpha bravo charlie delta echo foxtrot golf"_s,
                    u"alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo"_s, std::nullopt},
                Row{"droppableWordsVanishFreely", u"I think we ship it."_s,
                    u"so basically I think you know we ship it"_s, u"I think we ship it."_s},
                Row{"apostrophesSplitWords", u"Don't stop."_s, u"don t stop"_s, u"Don't stop."_s},
                Row{"otherScripts", u"Привет, мир."_s, u"привет мир"_s, u"Привет, мир."_s}));

TEST(AIPolisher, ResponseTokensCountUserPerceivedCharacters)
{
    // Five characters, six code units; two thumbs with skin tones are two characters.
    EXPECT_EQ(AIPolisher::maximumResponseTokens(u"he\u0301llo"_s), 42);
    EXPECT_EQ(AIPolisher::maximumResponseTokens(u"👍🏽👍🏽"_s), 41);
}

// The instructions are sent as they stand; any edit to them changes what the model does.
TEST(AIPolisher, InstructionsAreExact)
{
    EXPECT_EQ(AIPolisher::instructions().toUtf8().size(), 1355);
    EXPECT_EQ(AIPolisher::instructions().count(u'\n'), 19);
}

} // namespace
} // namespace sayloom
