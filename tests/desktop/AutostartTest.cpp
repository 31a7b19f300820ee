#include "desktop/Autostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
}

// The user's and the system's configuration folders lie in a temporary folder.
struct AutostartTest : ::testing::Test {
    QTemporaryDir root;
    QString entry = root.filePath(u"home/autostart/app.sayloom.Sayloom.desktop"_s);

    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", root.filePath(u"home"_s).toUtf8());
        qputenv("XDG_CONFIG_DIRS", root.filePath(u"system"_s).toUtf8());
    }
};

TEST_F(AutostartTest, TurnsOnAndOffAndReadsBackWhatTheDesktopWouldDo)
{
    Autostart autostart(u"/usr/bin/sayloom"_s);
    EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_TRUE(read(entry).contains("\nExec=/usr/bin/sayloom\n")) << read(entry).constData();
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled() || QFile::exists(entry));

    // An entry switched off counts as off; a system one is overridden by the user's.
    const QList<std::pair<QByteArray, bool>> entries{
            {"[Desktop Entry]\nHidden=true\n", false},
            {"[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n", false},
            {"[Desktop Entry]\n[Desktop Action quit]\nHidden=true\n", true},
    };
    for (const auto& [contents, on] : entries) {
        write(entry, contents);
        EXPECT_EQ(autostart.isEnabled(), on) << contents.constData();
    }
    QFile::remove(entry);
    write(root.filePath(u"system/autostart/app.sayloom.Sayloom.desktop"_s), "[Desktop Entry]\nExec=sayloom\n");
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled());
}

// Unescaped by the rules of desktop files, the Exec value gives back the program as one argument.
TEST_F(AutostartTest, TheExecLineNamesAnyPathAsOneArgumentAndAFailureSaysWhy)
{
    EXPECT_EQ(Autostart(u"/opt/My a$b\"c`d\\e/100%"_s).setEnabled(true), std::nullopt);
    const QByteArray exec = R"(Exec="/opt/My a\\$b\\"c\\`d\\\\e/100%%")";
    EXPECT_TRUE(read(entry).contains(QByteArray(exec + '\n'))) << read(entry).constData();
    EXPECT_NE(Autostart(u"/opt/new\nline"_s).setEnabled(true), std::nullopt);

    const QString folder = entry.section(u'/', 0, -2);
    QDir(folder).removeRecursively();
    write(folder, "not a folder");
    const QString error = Autostart().setEnabled(true).value_or(QString());
    EXPECT_TRUE(error.startsWith(u"Couldn't change login items: ") && error.contains(folder)) << error.toStdString();
    EXPECT_EQ(read(folder), "not a folder");
}

} // namespace
} // namespace sayloom
