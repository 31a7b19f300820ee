#include "desktop/Autostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

// The user's and the system's configuration folders point into a temporary folder for the length of a test.
class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        qputenv("XDG_CONFIG_HOME", home().toUtf8());
        qputenv("XDG_CONFIG_DIRS", system().toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
    }

    QString home() const { return m_folder.filePath(QStringLiteral("home")); }
    QString system() const { return m_folder.filePath(QStringLiteral("system")); }
    QString entry() const { return home() + u"/autostart/app.sayloom.Sayloom.desktop"; }

    static void writeFile(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(path.section(u'/', 0, -2));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
};

TEST_F(AutostartTest, TurnsOnAndOffAndReadsItBack)
{
    Autostart autostart(QStringLiteral("/usr/bin/sayloom"));
    EXPECT_EQ(Autostart::userEntryPath(), entry());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_TRUE(readFile(entry()).contains("\nExec=/usr/bin/sayloom\n")) << readFile(entry()).constData();
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_FALSE(QFile::exists(entry()));
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt) << "already off";
}

TEST_F(AutostartTest, AnEntrySwitchedOffCountsAsOff)
{
    const QList<std::pair<QByteArray, bool>> entries{
            {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
            {"[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled = false\n", false},
            {"[Desktop Entry]\nExec=x\nHidden=false\nX-GNOME-Autostart-enabled=true\n", true},
            // Keys of another group are not the entry's.
            {"[Desktop Entry]\nExec=x\n[Desktop Action quit]\nHidden=true\n", true},
    };
    for (const auto& [contents, on] : entries) {
        writeFile(entry(), contents);
        EXPECT_EQ(Autostart().isEnabled(), on) << contents.constData();
    }
}

TEST_F(AutostartTest, ASystemEntryIsOverriddenByAHiddenOne)
{
    writeFile(system() + u"/autostart/app.sayloom.Sayloom.desktop", "[Desktop Entry]\nExec=sayloom\n");
    Autostart autostart;
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(readFile(entry()).contains("Hidden=true"));
    EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
}

// Each Exec value, unescaped by the rules of desktop files, gives back the program as one argument.
TEST_F(AutostartTest, TheExecLineNamesAnyPathAsOneArgument)
{
    const QList<std::pair<QString, QByteArray>> programs{
            {QStringLiteral("/opt/Say Loom/sayloom"), R"(Exec="/opt/Say Loom/sayloom")"},
            {QStringLiteral("/opt/a$b\"c`d\\e/100%"), R"(Exec="/opt/a\\$b\\"c\\`d\\\\e/100%%")"},
            {QStringLiteral("/opt/naïve/sayloom"), "Exec=/opt/na\xc3\xafve/sayloom"},
    };
    for (const auto& [program, exec] : programs) {
        EXPECT_EQ(Autostart(program).setEnabled(true), std::nullopt);
        EXPECT_TRUE(readFile(entry()).contains(QByteArray(exec + '\n'))) << readFile(entry()).constData();
    }
    EXPECT_NE(Autostart(QStringLiteral("/opt/new\nline")).setEnabled(true), std::nullopt);
}

TEST_F(AutostartTest, AFailureSaysWhyAndChangesNothing)
{
    writeFile(home() + u"/autostart", "not a folder");
    Autostart autostart;
    const std::optional<QString> error = autostart.setEnabled(true);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(u"Couldn't change login items: ")) << error->toStdString();
    EXPECT_TRUE(error->contains(home() + u"/autostart")) << error->toStdString();
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_EQ(readFile(home() + u"/autostart"), "not a folder");
}

} // namespace
} // namespace sayloom
