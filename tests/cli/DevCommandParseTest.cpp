#include "cli/DevCommand.h"
#include "support/Printers.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace sayloom {

// Readable failure messages: GoogleTest would otherwise print these values as raw bytes.
void PrintTo(const DevCommand::Transcribe& c, std::ostream* os)
{
    *os << "Transcribe{" << ::testing::PrintToString(c.path) << (c.polish ? ", polish}" : "}");
}
void PrintTo(const DevCommand::Polish& c, std::ostream* os)
{
    *os << "Polish{" << ::testing::PrintToString(c.text)
        << ", app=" << (c.bundleIdentifier ? ::testing::PrintToString(*c.bundleIdentifier) : "none") << '}';
}
void PrintTo(const DevCommand::Record& c, std::ostream* os)
{
    *os << "Record{" << c.seconds << '}';
}
void PrintTo(const DevCommand::Correct& c, std::ostream* os)
{
    *os << "Correct{" << ::testing::PrintToString(c.text) << '}';
}
void PrintTo(const DevCommand::Snapshot& c, std::ostream* os)
{
    *os << "Snapshot{" << ::testing::PrintToString(c.folder) << '}';
}
void PrintTo(const DevCommand::SelfTest&, std::ostream* os)
{
    *os << "SelfTest{}";
}

namespace {

using namespace Qt::StringLiterals;

using Transcribe = DevCommand::Transcribe;
using Polish = DevCommand::Polish;
using Record = DevCommand::Record;
using Correct = DevCommand::Correct;
using Snapshot = DevCommand::Snapshot;
using SelfTest = DevCommand::SelfTest;

constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(DevCommand, ParseSelectsTheCommandFromTheFirstArgument)
{
    // Anything else starts the desktop application, as does a command without the value it needs.
    const QStringList notCommands[] = {{},
                                       {u"--bogus"_s},
                                       {u"hello"_s, u"world"_s},
                                       {u""_s, u"--selftest"_s},
                                       {u"x"_s, u"--polish"_s},
                                       {u"--TRANSCRIBE"_s, u"x"_s},
                                       {u"--SelfTest"_s},
                                       {u"-selftest"_s},
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
            {{u"--transcribe"_s, u""_s}, Transcribe{u""_s}},
            {{u"--polish"_s, u"hi"_s}, Polish{u"hi"_s, std::nullopt}},
            {{u"--polish"_s, u"hi"_s, u"--app"_s}, Polish{u"hi"_s, std::nullopt}},
            {{u"--polish"_s, u"hi"_s, u"foo"_s, u"--app"_s, u"com.x"_s}, Polish{u"hi"_s, u"com.x"_s}},
            {{u"--polish"_s, u"--app"_s, u"com.y"_s}, Polish{u"--app"_s, u"com.y"_s}},
            {{u"--polish"_s, u"hi"_s, u"--app"_s, u"com.x"_s, u"--app"_s, u"com.z"_s}, Polish{u"hi"_s, u"com.x"_s}},
            {{u"--polish"_s, u"hi"_s, u"--app"_s, u"--app"_s}, Polish{u"hi"_s, u"--app"_s}},
            {{u"--polish"_s, u"hi"_s, u"--APP"_s, u"com.x"_s}, Polish{u"hi"_s, std::nullopt}},
            {{u"--polish"_s, u""_s}, Polish{u""_s, std::nullopt}},
            {{u"--correct"_s, u"a"_s, u"b"_s}, Correct{u"a"_s}},
            {{u"--correct"_s, u"a\nb"_s}, Correct{u"a\nb"_s}},
            {{u"--snapshot"_s, u"/tmp/x"_s}, Snapshot{u"/tmp/x"_s}},
            {{u"--selftest"_s}, SelfTest{}},
            {{u"--selftest"_s, u"a"_s, u"--polish"_s}, SelfTest{}},
            // A length that is not a number falls back to the default.
            {{u"--record"_s}, Record{4.0}},
            {{u"--record"_s, u"2.5"_s}, Record{2.5}},
            {{u"--record"_s, u"-1"_s}, Record{-1.0}},
            {{u"--record"_s, u"2s"_s}, Record{4.0}},
            {{u"--record"_s, u"1"_s, u"9"_s}, Record{1.0}},
    };
    for (const auto& [arguments, expected] : rows) {
        const std::optional<DevCommand> parsed = DevCommand::parse(arguments);
        ASSERT_TRUE(parsed.has_value()) << ::testing::PrintToString(arguments);
        EXPECT_EQ(parsed->value(), expected) << ::testing::PrintToString(arguments);
    }
}

TEST(DevCommand, NumberReadsTheWholeTextOrNothing)
{
    const std::pair<QString, double> numbers[] = {
            {u"2.5"_s, 2.5},       {u"+3"_s, 3.0},       {u"-1"_s, -1.0},           {u"1e3"_s, 1000.0},
            {u"25e-1"_s, 2.5},     {u"inf"_s, infinity}, {u"Infinity"_s, infinity}, {u"-Infinity"_s, -infinity},
            {u"1e999"_s, infinity}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(DevCommand::number(text), value) << text.toStdString();
    }
    for (const QString& text : {u""_s, u" 2"_s, u"\t2"_s, u"\v2"_s, u"\u00A02"_s, u"2 "_s, u"2\n"_s, u"2\r"_s, u"2s"_s,
                                u"2\0"_s, u"2,5"_s, u"1e"_s, u"infinit"_s, u"\uFF12"_s}) {
        EXPECT_EQ(DevCommand::number(text), std::nullopt) << ::testing::PrintToString(text);
    }
    const std::optional<double> notANumber = DevCommand::number(u"nan"_s);
    EXPECT_TRUE(notANumber && std::isnan(*notANumber));
}

// The recording length typed on the command line must not change meaning with the user's language settings.
TEST(DevCommand, NumberIgnoresTheDecimalSeparatorOfTheProcessLocale)
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
