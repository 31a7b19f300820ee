#include "DevCommandPrinting.h"
#include "SayloomProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <string>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

const std::string notBuiltYet =
        "Sayloom's desktop application is not built yet; see README for the developer commands.\n";

struct ArgumentsRow {
    const char* name;
    QStringList arguments;
};

void PrintTo(const ArgumentsRow& row, std::ostream* os)
{
    *os << row.name;
}

std::string rowName(const ::testing::TestParamInfo<ArgumentsRow>& info)
{
    return info.param.name;
}

SayloomProcess::Result runInEmptyDataHome(const QStringList& arguments)
{
    QTemporaryDir dataHome;
    if (!dataHome.isValid()) {
        ADD_FAILURE() << "no temporary folder: " << dataHome.errorString().toStdString();
        return {};
    }
    return SayloomProcess::run(arguments, dataHome.path());
}

class ExecutableWithoutCommand : public ::testing::TestWithParam<ArgumentsRow> {};

TEST_P(ExecutableWithoutCommand, PrintsTheNoticeAndSucceeds)
{
    const SayloomProcess::Result result = runInEmptyDataHome(GetParam().arguments);
    ASSERT_TRUE(result.exitedNormally) << result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.toStdString(), notBuiltYet);
    EXPECT_EQ(result.standardError.toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(Rows, ExecutableWithoutCommand,
                         ::testing::Values(ArgumentsRow{"Nothing", {}}, ArgumentsRow{"UnknownOption", {u"--bogus"_s}},
                                           ArgumentsRow{"TranscribeWithoutPath", {u"--transcribe"_s}},
                                           ArgumentsRow{"PolishWithoutText", {u"--polish"_s}},
                                           ArgumentsRow{"CorrectWithoutText", {u"--correct"_s}},
                                           ArgumentsRow{"SnapshotWithoutFolder", {u"--snapshot"_s}},
                                           ArgumentsRow{"UpperCaseCommand", {u"--SELFTEST"_s}},
                                           ArgumentsRow{"CommandInSecondPlace", {u"x"_s, u"--selftest"_s}}),
                         rowName);

class ExecutableUnavailableCommand : public ::testing::TestWithParam<ArgumentsRow> {};

TEST_P(ExecutableUnavailableCommand, FailsWithOneErrorLine)
{
    const SayloomProcess::Result result = runInEmptyDataHome(GetParam().arguments);
    ASSERT_TRUE(result.exitedNormally) << result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "");
    const std::string error = result.standardError.toStdString();
    EXPECT_TRUE(error.starts_with("error: ")) << error;
    EXPECT_TRUE(error.ends_with("\n")) << error;
    EXPECT_EQ(result.standardError.count('\n'), 1) << error;
}

INSTANTIATE_TEST_SUITE_P(Rows, ExecutableUnavailableCommand,
                         ::testing::Values(ArgumentsRow{"Snapshot", {u"--snapshot"_s, u"/tmp/x"_s}}), rowName);

// Without a sound server there is no device to list and nothing to record from; the lines before the failure stay.
TEST(ExecutableRecord, WithoutASoundServerListsNoDevicesAndFails)
{
    QTemporaryDir dataHome;
    ASSERT_TRUE(dataHome.isValid());
    QProcessEnvironment environment;
    environment.insert(u"PULSE_SERVER"_s, u"unix:"_s + dataHome.filePath(u"no-server"_s));
    const SayloomProcess::Result result = SayloomProcess::run({u"--record"_s, u"1"_s}, dataHome.path(), environment);
    ASSERT_TRUE(result.exitedNormally) << result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "devices:  []\nmic:      system default\n");
    // The audio library may log why before the command's own error line.
    const QStringList error = QString::fromUtf8(result.standardError).trimmed().split(u'\n');
    EXPECT_TRUE(error.last().startsWith(u"error: "_s)) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError.count("error: "), 1) << result.standardError.toStdString();
}

// The self-test's lint cases judge words against the system word list, which the bootstrap installs.
TEST(ExecutableSelfTest, PassesEveryCase)
{
    ASSERT_TRUE(QFile::exists(u"/usr/share/dict/words"_s)) << "install wamerican";
    for (const QStringList& arguments : {QStringList{u"--selftest"_s}, QStringList{u"--selftest"_s, u"extra"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const SayloomProcess::Result result = runInEmptyDataHome(arguments);
        ASSERT_TRUE(result.exitedNormally) << result.standardError.toStdString();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardOutput.toStdString(), "PASS  18 correction cases, 8 warning cases\n");
        EXPECT_EQ(result.standardError.toStdString(), "");
    }
}

} // namespace
} // namespace sayloom
