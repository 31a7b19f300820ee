#include "cli/DevCommand.h"

#include "cli/Output.h"
#include "support/Printers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Transcribe = DevCommand::Transcribe;
using Polish = DevCommand::Polish;
using Record = DevCommand::Record;

constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(DevCommand, ParseSelectsTheCommandFromTheFirstArgument)
{
    // Anything else starts the desktop application, as does a command without the value it needs.
    const QStringList notCommands[] = {{},
                                       {u"hello"_s, u"--selftest"_s},
                                       {u"--TRANSCRIBE"_s, u"x"_s},
                                       {u"--record=2"_s},
                                       {u"--transcribe"_s},
                                       {u"--polish"_s},
                                       {u"--correct"_s},
                                       {u"--snapshot"_s}};
    for (const QStringList& arguments : notCommands) {
        EXPECT_EQ(DevCommand::parse(arguments), std::nullopt) << ::testing::PrintToString(arguments);
    }
    const struct {
        QStringList arguments;
        DevCommand::Case expected;
    } rows[] = {
            {{u"--transcribe"_s, u"a.wav"_s}, Transcribe{u"a.wav"_s, false}},
            {{u"--transcribe"_s, u"--polish"_s}, Transcribe{u"--polish"_s, true}},
            {{u"--transcribe"_s, u"a.wav"_s, u"x"_s, u"--polish"_s}, Transcribe{u"a.wav"_s, true}},
            {{u"--transcribe"_s, u"a.wav"_s, u"--POLISH"_s}, Transcribe{u"a.wav"_s}},
            {{u"--polish"_s, u"hi"_s, u"--app"_s}, Polish{u"hi"_s, std::nullopt}},
            {{u"--polish"_s, u"hi"_s, u"foo"_s, u"--app"_s, u"com.x"_s}, Polish{u"hi"_s, u"com.x"_s}},
            {{u"--polish"_s, u"--app"_s, u"com.y"_s}, Polish{u"--app"_s, u"com.y"_s}},
            {{u"--polish"_s, u"hi"_s, u"--app"_s, u"com.x"_s, u"--app"_s, u"com.z"_s}, Polish{u"hi"_s, u"com.x"_s}},
            {{u"--polish"_s, u"hi"_s, u"--APP"_s, u"com.x"_s}, Polish{u"hi"_s, std::nullopt}},
            {{u"--correct"_s, u"a\nb"_s, u"c"_s}, DevCommand::Correct{u"a\nb"_s}},
            {{u"--snapshot"_s, u"/tmp/x"_s}, DevCommand::Snapshot{u"/tmp/x"_s}},
            {{u"--selftest"_s, u"a"_s, u"--polish"_s}, DevCommand::SelfTest{}},
            // A length that is not a number falls back to the default.
            {{u"--record"_s}, Record{4.0}},
            {{u"--record"_s, u"2.5"_s, u"9"_s}, Record{2.5}},
            {{u"--record"_s, u"2s"_s}, Record{4.0}},
    };
    for (const auto& [arguments, expected] : rows) {
        const std::optional<DevCommand> parsed = DevCommand::parse(arguments);
        ASSERT_TRUE(parsed.has_value()) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(parsed->value() == expected) << ::testing::PrintToString(arguments);
    }
}

TEST(DevCommand, NumberReadsTheWholeTextOrNothing)
{
    const std::pair<QString, double> numbers[] = {{u"2.5"_s, 2.5},       {u"+3"_s, 3.0},
                                                  {u"-1"_s, -1.0},       {u"25e-1"_s, 2.5},
                                                  {u"inf"_s, infinity},  {u"-Infinity"_s, -infinity},
                                                  {u"1e999"_s, infinity}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(DevCommand::number(text), value) << text.toStdString();
    }
    for (const QString& text : {u""_s, u" 2"_s, u"\t2"_s, u"\u00A02"_s, u"2 "_s, u"2\n"_s, u"2s"_s, u"2\0"_s, u"2,5"_s,
                                u"1e"_s, u"\uFF12"_s}) {
        EXPECT_EQ(DevCommand::number(text), std::nullopt) << ::testing::PrintToString(text);
    }
    const std::optional<double> notANumber = DevCommand::number(u"nan"_s);
    EXPECT_TRUE(notANumber && std::isnan(*notANumber));
}

// The record command prints its length and the peak level this way; whole numbers keep one fractional digit.
TEST(Output, ShortestTextReadsBackAsTheSameValue)
{
    const std::pair<QString, QString> rows[] = {
            {Output::shortest(4.0), u"4.0"_s},
            {Output::shortest(-1.0), u"-1.0"_s},
            {Output::shortest(0.1), u"0.1"_s},
            {Output::shortest(1e20), u"1e+20"_s},
            {Output::shortest(std::numeric_limits<double>::infinity()), u"inf"_s},
            {Output::shortest(std::nan("")), u"nan"_s},
            // A float's own shortest form, not that of the double it widens to (0.100000001490116…).
            {Output::shortest(0.1f), u"0.1"_s},
            {Output::shortest(0.87996f), u"0.87996"_s},
            {Output::seconds(1500ms), u"1.500000 seconds"_s},
    };
    for (const auto& [actual, expected] : rows) {
        EXPECT_EQ(actual, expected);
    }
}

} // namespace
} // namespace sayloom
