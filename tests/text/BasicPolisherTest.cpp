#include "text/BasicPolisher.h"

#include "support/Printers.h"

#include <QCoroTask>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

struct Row {
    const char* name;
    QString input;
    QString expected;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

class BasicPolisherTable : public ::testing::TestWithParam<Row> {};

TEST_P(BasicPolisherTable, Polishes)
{
    EXPECT_EQ(BasicPolisher::polished(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
        Fillers, BasicPolisherTable,
        ::testing::Values(Row{"fillersAnywhere", u"um so uh I think we should go"_s, u"So I think we should go"_s},
                          Row{"drawnOutWithComma", u"Hmmm, okay"_s, u"Okay"_s},
                          Row{"fillerCaseAndPeriod", u"UMMM. well ERM we agreed"_s, u"Well we agreed"_s},
                          Row{"notInsideWords", u"umbrella and Uhura"_s, u"Umbrella and Uhura"_s},
                          Row{"onlyFillers", u"um uh"_s, QString()}, Row{"empty", QString(), QString()},
                          Row{"onlyWhiteSpace", u" \t\n \u00A0\u3000"_s, QString()},
                          Row{"onlyTwoOrMoreBlanksCollapse", u"a\tb  c \t d"_s, u"A\tb c d"_s},
                          // Group references in the text itself must never be expanded.
                          Row{"replacementsAreLiteral", u"costs $1 and \\1 um"_s, u"Costs $1 and \\1"_s},
                          Row{"fillersAndLayoutOnly", u"um new line uh new paragraph"_s, QString()}));

INSTANTIATE_TEST_SUITE_P(
        Stutters, BasicPolisherTable,
        ::testing::Values(Row{"threeTimes", u"the the the cat sat"_s, u"The cat sat"_s},
                          Row{"pronoun", u"I I I mean it"_s, u"I mean it"_s},
                          Row{"meantRepetitionToo", u"he said that that was fine"_s, u"He said that was fine"_s},
                          Row{"prefixIsNotARepeat", u"the theory of the them"_s, u"The theory of the them"_s},
                          Row{"acrossLineBreak", u"go go\ngo on"_s, u"Go on"_s},
                          Row{"otherScripts", u"привет привет мир"_s, u"привет мир"_s},
                          Row{"decomposedAccentIsPartOfTheWord", u"cafe cafe\u0301 cafe"_s,
                              u"Cafe cafe\u0301 cafe"_s}));

INSTANTIATE_TEST_SUITE_P(
        Layout, BasicPolisherTable,
        ::testing::Values(Row{"newLine", u"hello new line world"_s, u"Hello\nWorld"_s},
                          Row{"newParagraphWithCommas", u"dear team, new paragraph, thanks"_s,
                              u"Dear team\n\nThanks"_s},
                          Row{"commandsIgnoreCase", u"first NEW PARAGRAPH second"_s, u"First\n\nSecond"_s},
                          Row{"newLineAtTheEnd", u"thanks new line"_s, u"Thanks"_s},
                          Row{"blanksCollapseBeforeTheCommand", u"a new  line b"_s, u"A\nB"_s},
                          Row{"commandInsideWordStays", u"renew lines"_s, u"Renew lines"_s},
                          Row{"commandAtTheStartOfAWordStays", u"new lines of code"_s, u"New lines of code"_s},
                          Row{"swallowsLineBreaksAround", u"one \n new line \n two"_s, u"One\nTwo"_s}));

INSTANTIATE_TEST_SUITE_P(Capitals, BasicPolisherTable,
                         ::testing::Values(Row{"spacingAndTab", u"what?  yes.\tok"_s, u"What? Yes.\tOk"_s},
                                           Row{"mixedCaseWordsStay", u"my iPhone. iphone works"_s,
                                               u"My iPhone. Iphone works"_s},
                                           Row{"digitsAndForeignLettersStay", u"x86 is fast. café opens. eBay"_s,
                                               u"x86 is fast. café opens. eBay"_s},
                                           Row{"apostrophes", u"don't stop. it's fine"_s, u"Don't stop. It's fine"_s},
                                           Row{"leadingBlankStopsTheFirstCapital", u"  hi\n"_s, u"hi"_s},
                                           Row{"trailingBlanks", u"hi  "_s, u"Hi"_s},
                                           Row{"noPunctuationAdded", u"send it"_s, u"Send it"_s},
                                           Row{"afterLineFeed", u"one\ntwo"_s, u"One\nTwo"_s},
                                           Row{"combiningMarkIsNotALetterAToZ", u"e\u0301te\u0301 ok. e\u0301cole"_s,
                                               u"e\u0301te\u0301 ok. e\u0301cole"_s},
                                           Row{"markAfterLaterLetter", u"cafe\u0301 ok"_s, u"cafe\u0301 ok"_s}));

INSTANTIATE_TEST_SUITE_P(OtherScripts, BasicPolisherTable,
                         ::testing::Values(Row{"emoji", u"um 👍🏽 great great 🎉"_s, u"👍🏽 great 🎉"_s},
                                           Row{"rightToLeft", u"um שלום שלום new line مرحبا"_s, u"שלום\nمرحبا"_s},
                                           Row{"zeroWidthJoinerEmoji", u"ok 👩‍💻 new line done"_s,
                                               u"Ok 👩‍💻\nDone"_s},
                                           Row{"loneSurrogate", u"a \xD800 b"_s, u"A \xD800 b"_s}));

TEST(BasicPolisher, SpokenLayoutAloneKeepsEverythingElse)
{
    EXPECT_EQ(applyingSpokenLayout(u"um hello, new line, the the new paragraph. end"_s), u"um hello\nthe the\n\nend"_s);
    EXPECT_EQ(finalizedDictation(u"  a. b new line c  "_s), u"a. B\nC"_s);
    // The words of a command are separated by exactly one space.
    EXPECT_EQ(applyingSpokenLayout(u"a new  line b"_s), u"a new  line b"_s);
}

TEST(BasicPolisher, PolishGivesThePolishedTextWhateverTheContext)
{
    BasicPolisher polisher;
    polisher.prewarm();
    EXPECT_EQ(QCoro::waitFor(polisher.polish(u"um hello"_s, PolishContext{u"org.example"_s, {u"Term"_s}})), u"Hello"_s);
}

} // namespace
} // namespace sayloom
