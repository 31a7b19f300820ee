#include "speech/TranscriptState.h"

#include <gtest/gtest.h>
#include <thread>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

TEST(TranscriptState, VolatileResultsAreReplacedAndFinalOnesAccumulate)
{
    TranscriptState state;
    EXPECT_EQ(state.add(u"hello"_s, false), u"hello"_s);
    EXPECT_EQ(state.add(u"hello world"_s, false), u"hello world"_s);
    EXPECT_EQ(state.add(u"Hello world."_s, true), u"Hello world."_s);
    EXPECT_EQ(state.add(u"how"_s, false), u"Hello world. how"_s);
    // What a take returns when finishing timed out here: the last volatile text is kept.
    EXPECT_EQ(state.text(), u"Hello world. how"_s);

    // An empty final result appends nothing but clears the volatile text.
    EXPECT_EQ(state.add(QString(), true), u"Hello world."_s);
    EXPECT_EQ(state.add(u"are you"_s, false), u"Hello world. are you"_s);
    EXPECT_EQ(state.add(u"How are you?"_s, true), u"Hello world. How are you?"_s);
    EXPECT_EQ(state.text(), u"Hello world. How are you?"_s);
}

TEST(TranscriptState, ResultsFromAnotherThreadAreSeenWhole)
{
    TranscriptState state;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            state.add(u"one two three"_s, false);
            state.add(u"one"_s, false);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const QString text = state.text();
        EXPECT_TRUE(text.isEmpty() || text == u"one"_s || text == u"one two three"_s) << text.toStdString();
    }
    worker.join();
}

struct JoinRow {
    QString a;
    QString b;
    QString joined;
};

// Shows the two sides with their white space visible, in test names and failures.
void PrintTo(const JoinRow& row, std::ostream* out)
{
    const auto visible = [](const QString& text) {
        return QString(text).replace(u'\n', u"\\n"_s).replace(QChar(0xa0), u"\\u00a0"_s).toStdString();
    };
    *out << '"' << visible(row.a) << "\" + \"" << visible(row.b) << '"';
}

class Join : public testing::TestWithParam<JoinRow> {};

TEST_P(Join, PutsOneSpaceAtASeamWithoutWhitespace)
{
    EXPECT_EQ(joinTranscript(GetParam().a, GetParam().b), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Rows, Join,
                         testing::Values(JoinRow{u"a "_s, u"b"_s, u"a b"_s}, JoinRow{QString(), u"b"_s, u"b"_s},
                                         JoinRow{u"a"_s, QString(), u"a"_s}, JoinRow{u"a"_s, u"b"_s, u"a b"_s},
                                         JoinRow{u"a"_s, u" b"_s, u"a b"_s}, JoinRow{u"a\n"_s, u"b"_s, u"a\nb"_s},
                                         JoinRow{u"a"_s, u"\u00a0b"_s, u"a\u00a0b"_s},
                                         JoinRow{QString(), QString(), QString()}));

} // namespace
} // namespace sayloom
