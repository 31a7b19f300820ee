#include "DevCommand.h"
#include "DevCommandPrinting.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

struct NumberRow {
    const char* name;
    QString text;
    std::optional<double> expected;
};

void PrintTo(const NumberRow& row, std::ostream* os)
{
    *os << row.name;
}

class DevCommandNumber : public ::testing::TestWithParam<NumberRow> {};

TEST_P(DevCommandNumber, ReadsTheWholeTextOrNothing)
{
    const NumberRow& row = GetParam();
    const std::optional<double> number = DevCommand::number(row.text);
    if (!row.expected) {
        EXPECT_FALSE(number.has_value()) << *number;
        return;
    }
    ASSERT_TRUE(number.has_value());
    if (std::isnan(*row.expected)) {
        EXPECT_TRUE(std::isnan(*number)) << *number;
    } else {
        EXPECT_EQ(*number, *row.expected);
    }
}

const NumberRow numberRows[] = {
        {"Fraction", u"2.5"_s, 2.5},
        {"PlusSign", u"+3"_s, 3.0},
        {"MinusSign", u"-1"_s, -1.0},
        {"Exponent", u"1e3"_s, 1000.0},
        {"NegativeExponent", u"25e-1"_s, 2.5},
        {"Infinity", u"inf"_s, infinity},
        {"InfinitySpelledOut", u"Infinity"_s, infinity},
        {"NegativeInfinity", u"-Infinity"_s, -infinity},
        {"NotANumber", u"nan"_s, notANumber},
        {"Overflow", u"1e999"_s, infinity},
        {"Empty", u""_s, std::nullopt},
        {"LeadingSpace", u" 2"_s, std::nullopt},
        {"LeadingTab", u"\t2"_s, std::nullopt},
        {"LeadingVerticalTab", u"\v2"_s, std::nullopt},
        {"LeadingNoBreakSpace", u"\u00A02"_s, std::nullopt},
        {"TrailingSpace", u"2 "_s, std::nullopt},
        {"TrailingLineFeed", u"2\n"_s, std::nullopt},
        {"TrailingCarriageReturn", u"2\r"_s, std::nullopt},
        {"TrailingUnit", u"2s"_s, std::nullopt},
        {"TrailingNul", u"2\0"_s, std::nullopt},
        {"CommaSeparator", u"2,5"_s, std::nullopt},
        {"DanglingExponent", u"1e"_s, std::nullopt},
        {"InfinityMisspelled", u"infinit"_s, std::nullopt},
        {"FullWidthDigit", u"\uFF12"_s, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Rows, DevCommandNumber, ::testing::ValuesIn(numberRows),
                         [](const ::testing::TestParamInfo<NumberRow>& test) { return std::string(test.param.name); });

// The recording length typed on the command line must not change meaning with the user's language settings.
TEST(DevCommandNumberLocale, IgnoresTheDecimalSeparatorOfTheProcessLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* installed = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            installed = name;
            break;
        }
    }
    if (installed == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const char separator = *std::localeconv()->decimal_point;
    const std::optional<double> point = DevCommand::number(u"2.5"_s);
    const std::optional<double> comma = DevCommand::number(u"2,5"_s);
    std::setlocale(LC_NUMERIC, previous.c_str());

    ASSERT_EQ(separator, ',') << installed;
    EXPECT_EQ(point, 2.5);
    EXPECT_EQ(comma, std::nullopt);
}

} // namespace
} // namespace sayloom
