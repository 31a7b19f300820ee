#include "DevCommand.h"
#include "DevCommandPrinting.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

struct ParseRow {
    const char* name;
    QStringList arguments;
    std::optional<DevCommand::Case> expected;
};

void PrintTo(const ParseRow& row, std::ostream* os)
{
    *os << row.name;
}

class DevCommandParse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(DevCommandParse, SelectsTheCommandFromTheFirstArgument)
{
    const ParseRow& row = GetParam();
    const std::optional<DevCommand> parsed = DevCommand::parse(row.arguments);
    if (!row.expected) {
        EXPECT_FALSE(parsed.has_value()) << ::testing::PrintToString(parsed->value());
        return;
    }
    ASSERT_TRUE(parsed.has_value());
    // Not-a-number never equals itself, so a recording length that is one is compared by kind.
    const auto* expectedRecord = std::get_if<DevCommand::Record>(&*row.expected);
    if (expectedRecord && std::isnan(expectedRecord->seconds)) {
        const auto* record = std::get_if<DevCommand::Record>(&parsed->value());
        ASSERT_NE(record, nullptr) << ::testing::PrintToString(parsed->value());
        EXPECT_TRUE(std::isnan(record->seconds)) << record->seconds;
        return;
    }
    EXPECT_EQ(parsed->value(), *row.expected);
}

using Transcribe = DevCommand::Transcribe;
using Polish = DevCommand::Polish;
using Record = DevCommand::Record;
using Correct = DevCommand::Correct;
using Snapshot = DevCommand::Snapshot;
using SelfTest = DevCommand::SelfTest;

constexpr double infinity = std::numeric_limits<double>::infinity();

const ParseRow parseRows[] = {
        {"Nothing", {}, std::nullopt},
        {"UnknownOption", {u"--bogus"_s}, std::nullopt},
        {"PlainWord", {u"hello"_s, u"world"_s}, std::nullopt},
        {"EmptyFirstArgument", {u""_s, u"--selftest"_s}, std::nullopt},
        {"CommandInSecondPlace", {u"x"_s, u"--polish"_s}, std::nullopt},
        {"SelfTestInSecondPlace", {u"x"_s, u"--selftest"_s}, std::nullopt},
        {"UpperCaseCommand", {u"--TRANSCRIBE"_s, u"x"_s}, std::nullopt},
        {"MixedCaseSelfTest", {u"--SelfTest"_s}, std::nullopt},
        {"SingleDash", {u"-selftest"_s}, std::nullopt},
        {"CommandWithValueAttached", {u"--record=2"_s}, std::nullopt},

        {"TranscribeAlone", {u"--transcribe"_s}, std::nullopt},
        {"Transcribe", {u"--transcribe"_s, u"a.wav"_s}, Transcribe{u"a.wav"_s, false}},
        {"TranscribePolishAsPath", {u"--transcribe"_s, u"--polish"_s}, Transcribe{u"--polish"_s, true}},
        {"TranscribePolishLater", {u"--transcribe"_s, u"a.wav"_s, u"x"_s, u"--polish"_s}, Transcribe{u"a.wav"_s, true}},
        {"TranscribePolishWrongCase", {u"--transcribe"_s, u"a.wav"_s, u"--POLISH"_s}, Transcribe{u"a.wav"_s}},
        {"TranscribePolishWithValue", {u"--transcribe"_s, u"a.wav"_s, u"--polish=1"_s}, Transcribe{u"a.wav"_s}},
        {"TranscribeEmptyPath", {u"--transcribe"_s, u""_s}, Transcribe{u""_s}},

        {"PolishAlone", {u"--polish"_s}, std::nullopt},
        {"Polish", {u"--polish"_s, u"hi"_s}, Polish{u"hi"_s, std::nullopt}},
        {"PolishAppWithoutValue", {u"--polish"_s, u"hi"_s, u"--app"_s}, Polish{u"hi"_s, std::nullopt}},
        {"PolishApp", {u"--polish"_s, u"hi"_s, u"--app"_s, u"com.x"_s}, Polish{u"hi"_s, u"com.x"_s}},
        {"PolishAppAfterOthers",
         {u"--polish"_s, u"hi"_s, u"foo"_s, u"bar"_s, u"--app"_s, u"com.x"_s},
         Polish{u"hi"_s, u"com.x"_s}},
        {"PolishAppAsText", {u"--polish"_s, u"--app"_s, u"com.y"_s}, Polish{u"--app"_s, u"com.y"_s}},
        {"PolishFirstAppWins",
         {u"--polish"_s, u"hi"_s, u"--app"_s, u"com.x"_s, u"--app"_s, u"com.z"_s},
         Polish{u"hi"_s, u"com.x"_s}},
        {"PolishAppFollowedByApp", {u"--polish"_s, u"hi"_s, u"--app"_s, u"--app"_s}, Polish{u"hi"_s, u"--app"_s}},
        {"PolishAppWrongCase", {u"--polish"_s, u"hi"_s, u"--APP"_s, u"com.x"_s}, Polish{u"hi"_s, std::nullopt}},
        {"PolishEmptyText", {u"--polish"_s, u""_s}, Polish{u""_s, std::nullopt}},

        {"CorrectAlone", {u"--correct"_s}, std::nullopt},
        {"Correct", {u"--correct"_s, u"cloud code"_s}, Correct{u"cloud code"_s}},
        {"CorrectIgnoresMore", {u"--correct"_s, u"a"_s, u"b"_s}, Correct{u"a"_s}},
        {"CorrectKeepsLineBreaks", {u"--correct"_s, u"a\nb"_s}, Correct{u"a\nb"_s}},

        {"SnapshotAlone", {u"--snapshot"_s}, std::nullopt},
        {"Snapshot", {u"--snapshot"_s, u"/tmp/x"_s}, Snapshot{u"/tmp/x"_s}},

        {"SelfTest", {u"--selftest"_s}, SelfTest{}},
        {"SelfTestWithExtras", {u"--selftest"_s, u"a"_s, u"--polish"_s}, SelfTest{}},

        {"RecordAlone", {u"--record"_s}, Record{4.0}},
        {"RecordSeconds", {u"--record"_s, u"2.5"_s}, Record{2.5}},
        {"RecordZero", {u"--record"_s, u"0"_s}, Record{0.0}},
        {"RecordNegative", {u"--record"_s, u"-1"_s}, Record{-1.0}},
        {"RecordExponent", {u"--record"_s, u"1e3"_s}, Record{1000.0}},
        {"RecordInfinity", {u"--record"_s, u"inf"_s}, Record{infinity}},
        {"RecordNotANumber", {u"--record"_s, u"nan"_s}, Record{std::numeric_limits<double>::quiet_NaN()}},
        {"RecordLeadingSpace", {u"--record"_s, u" 2"_s}, Record{4.0}},
        {"RecordUnit", {u"--record"_s, u"2s"_s}, Record{4.0}},
        {"RecordWord", {u"--record"_s, u"abc"_s}, Record{4.0}},
        {"RecordEmpty", {u"--record"_s, u""_s}, Record{4.0}},
        {"RecordIgnoresMore", {u"--record"_s, u"1"_s, u"9"_s}, Record{1.0}},
};

INSTANTIATE_TEST_SUITE_P(Rows, DevCommandParse, ::testing::ValuesIn(parseRows),
                         [](const ::testing::TestParamInfo<ParseRow>& test) { return std::string(test.param.name); });

} // namespace
} // namespace sayloom
