#include "Output.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sayloom {
namespace {

using namespace std::chrono_literals;

// The record command prints its length and the peak level this way; whole numbers keep one fractional digit.
TEST(Output, ShortestTextReadsBackAsTheSameValue)
{
    const struct {
        double value;
        const char* text;
    } doubles[] = {{4, "4.0"},
                   {2.5, "2.5"},
                   {0, "0.0"},
                   {-1, "-1.0"},
                   {0.1, "0.1"},
                   {1e20, "1e+20"},
                   {std::numeric_limits<double>::infinity(), "inf"},
                   {std::nan(""), "nan"}};
    for (const auto& row : doubles) {
        EXPECT_EQ(Output::shortest(row.value).toStdString(), row.text);
    }
    // A float's own shortest form, not that of the double it widens to (0.100000001490116…).
    const struct {
        float value;
        const char* text;
    } floats[] = {{0.0f, "0.0"}, {1.0f, "1.0"}, {0.1f, "0.1"}, {0.87996f, "0.87996"}};
    for (const auto& row : floats) {
        EXPECT_EQ(Output::shortest(row.value).toStdString(), row.text);
    }
    EXPECT_EQ(Output::seconds(1500ms).toStdString(), "1.500000 seconds");
}

} // namespace
} // namespace sayloom
