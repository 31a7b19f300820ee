#include "SayloomProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <string>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

class Executable : public ::testing::Test {
protected:
    SayloomProcess::Result run(const QStringList& arguments, const QProcessEnvironment& environment = {})
    {
        EXPECT_TRUE(dataHome.isValid());
        SayloomProcess::Result result = SayloomProcess::run(arguments, dataHome.path(), environment);
        EXPECT_TRUE(result.exitedNormally) << result.standardError.toStdString();
        return result;
    }

    QTemporaryDir dataHome;
};

TEST_F(Executable, WithoutACommandPrintsTheNoticeAndSucceeds)
{
    for (const QStringList& arguments : {QStringList{},
                                         {u"--bogus"_s},
                                         {u"--transcribe"_s},
                                         {u"--polish"_s},
                                         {u"--correct"_s},
                                         {u"--snapshot"_s},
                                         {u"--SELFTEST"_s},
                                         {u"x"_s, u"--selftest"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const SayloomProcess::Result result = run(arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardOutput.toStdString(),
                  "Sayloom's desktop application is not built yet; see README for the developer commands.\n");
        EXPECT_EQ(result.standardError.toStdString(), "");
    }
}

TEST_F(Executable, SnapshotIsUnavailableAndFailsWithOneErrorLine)
{
    const SayloomProcess::Result result = run({u"--snapshot"_s, u"/tmp/x"_s});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "");
    const std::string error = result.standardError.toStdString();
    EXPECT_TRUE(error.starts_with("error: ") && error.ends_with("\n")) << error;
    EXPECT_EQ(result.standardError.count('\n'), 1) << error;
}

// Without a sound server there is no device to list and nothing to record from; the lines before the failure stay.
TEST_F(Executable, RecordWithoutASoundServerListsNoDevicesAndFails)
{
    QProcessEnvironment environment;
    environment.insert(u"PULSE_SERVER"_s, u"unix:"_s + dataHome.filePath(u"no-server"_s));
    const SayloomProcess::Result result = run({u"--record"_s, u"1"_s}, environment);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput.toStdString(), "devices:  []\nmic:      system default\n");
    // The audio library may log why before the command's own error line.
    const QStringList error = QString::fromUtf8(result.standardError).trimmed().split(u'\n');
    EXPECT_TRUE(error.last().startsWith(u"error: "_s)) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError.count("error: "), 1) << result.standardError.toStdString();
}

// The self-test's lint cases judge words against the system word list, which the bootstrap installs.
TEST_F(Executable, SelfTestPassesEveryCase)
{
    ASSERT_TRUE(QFile::exists(u"/usr/share/dict/words"_s)) << "install wamerican";
    for (const QStringList& arguments : {QStringList{u"--selftest"_s}, QStringList{u"--selftest"_s, u"extra"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const SayloomProcess::Result result = run(arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardOutput.toStdString(), "PASS  18 correction cases, 8 warning cases\n");
        EXPECT_EQ(result.standardError.toStdString(), "");
    }
}

} // namespace
} // namespace sayloom
