#include "cli/Output.h"

#include "support/Printers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// The record command prints its length and the peak level this way; whole numbers keep one fractional digit.
TEST(Output, ShortestTextReadsBackAsTheSameValue)
{
    const std::pair<QString, QString> rows[] = {
            {Output::shortest(4.0), u"4.0"_s},
            {Output::shortest(2.5), u"2.5"_s},
            {Output::shortest(0.0), u"0.0"_s},
            {Output::shortest(-1.0), u"-1.0"_s},
            {Output::shortest(0.1), u"0.1"_s},
            {Output::shortest(1e20), u"1e+20"_s},
            {Output::shortest(std::numeric_limits<double>::infinity()), u"inf"_s},
            {Output::shortest(std::nan("")), u"nan"_s},
            // A float's own shortest form, not that of the double it widens to (0.100000001490116…).
            {Output::shortest(0.0f), u"0.0"_s},
            {Output::shortest(1.0f), u"1.0"_s},
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
