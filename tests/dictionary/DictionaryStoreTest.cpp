#include "DictionaryStore.h"

#include "DictionaryFile.h"
#include "Printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace sayloom;

namespace {

// Generous: the machine running the tests may be busy.
constexpr int waitMs = 5000;

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The header, then one line each.
QString fileWith(const QStringList& lines)
{
    return DictionaryFile::header() + lines.join(u'\n') + u'\n';
}

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

// Another process touching the file, as a script or an editor would.
void runShell(const QString& command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    ASSERT_TRUE(process.waitForFinished(waitMs));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

QStringList lines(const DictionaryStore& store)
{
    QStringList result;
    for (const DictionaryEntry& entry : store.entries()) {
        result.append(entry.heardAs ? *entry.heardAs + u" -> " + entry.phrase : entry.phrase);
    }
    return result;
}

class DictionaryStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& relative = QStringLiteral("Sayloom/Dictionary.txt")) const
    {
        return m_dir.filePath(relative);
    }
    // Counts the store's entry changes from here on, checking the corrector changes with them.
    std::shared_ptr<int> countChanges(DictionaryStore& store)
    {
        auto entries = std::make_shared<int>(0);
        auto correctors = std::make_shared<int>(0);
        QObject::connect(&store, &DictionaryStore::entriesChanged, [entries] { ++*entries; });
        QObject::connect(&store, &DictionaryStore::correctorChanged, [=] { EXPECT_EQ(++*correctors, *entries); });
        return entries;
    }

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

TEST_F(DictionaryStoreTest, FirstStartCreatesTheFolderAndAHeaderOnlyFile)
{
    DictionaryStore store(path(), m_settings);
    EXPECT_EQ(readText(path()), DictionaryFile::serialize({}));
    EXPECT_TRUE(store.entries().isEmpty());
    EXPECT_TRUE(store.biasTerms().isEmpty());
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_TRUE(store.isWatching());
}

TEST_F(DictionaryStoreTest, TheLegacyWordListMovesIntoANewFileOnlyAndIsRemovedEitherWay)
{
    const QString key = QStringLiteral("dictionary");
    m_settings.setValue(key, QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")});
    DictionaryStore(path(), m_settings);
    EXPECT_EQ(readText(path()), fileWith({QStringLiteral("Supabase"), QStringLiteral("Next.js")}));
    EXPECT_FALSE(m_settings.contains(key));

    // Read back from the settings file by a fresh object, as on the next start: the file stays as it is.
    m_settings.setValue(key, QStringList{QStringLiteral("Old")});
    m_settings.sync();
    QSettings reread(m_settings.fileName(), QSettings::IniFormat);
    EXPECT_EQ(lines(DictionaryStore(path(), reread)),
              (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")}));
    EXPECT_FALSE(reread.contains(key));

    // Values of another type are not a word list: nothing moves, and they are not ours to remove.
    for (const QVariant& wrong :
         {QVariant(42), QVariant(QVariantMap{{key, 1}}), QVariant(QVariantList{key, QVariantMap{}})}) {
        QDir(path(QStringLiteral("Sayloom"))).removeRecursively();
        m_settings.setValue(key, wrong);
        DictionaryStore store(path(), m_settings);
        EXPECT_TRUE(store.entries().isEmpty()) << wrong.typeName();
        EXPECT_EQ(store.fileError(), std::nullopt);
        EXPECT_EQ(m_settings.value(key), wrong);
    }
}

TEST_F(DictionaryStoreTest, EditsMadeByOtherProgramsShowUpWhateverWayTheyWrite)
{
    DictionaryStore store(path(), m_settings);

    // Written in place, as a shell redirection does.
    runShell(u"printf '%s\\ncloud code -> Claude Code\\n' Supabase >> '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 2; }, waitMs));
    EXPECT_EQ(store.corrector().apply(QStringLiteral("open cloud code")).text, QStringLiteral("open Claude Code"));

    // Replaced by a rename, as sed -i and most editors do; twice, so the watch must follow the new file.
    runShell(u"sed -i 's/Supabase/Postgres/' '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines(store).contains(QStringLiteral("Postgres")); }, waitMs));
    runShell(u"sed -i '/Postgres/d' '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 1; }, waitMs));

    // Deleted: the dictionary empties and the file comes back with its header.
    runShell(u"rm '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }, waitMs));
    EXPECT_EQ(readText(path()), DictionaryFile::serialize({}));
}

TEST_F(DictionaryStoreTest, TheFolderRemovedAndMadeAgainIsStillWatched)
{
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));

    ASSERT_TRUE(QDir(path(QStringLiteral("Sayloom"))).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }, waitMs));

    runShell(u"printf 'Next.js\\n' >> '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines(store) == QStringList{QStringLiteral("Next.js")}; }, waitMs));
}

TEST_F(DictionaryStoreTest, ReloadsKeepTheIdsOfUnchangedEntriesAndSignalOnlyChanges)
{
    DictionaryStore store(path(), m_settings);
    const auto changes = countChanges(store);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    store.add(DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")));
    const QList<DictionaryEntry> before = store.entries();

    // The app's own saves wake the watch; one outside edit behind them shows those reloads changed nothing.
    writeAtomically(path(), fileWith({QStringLiteral("Supabase"), QStringLiteral("cloud code -> Claude Code"),
                                      QStringLiteral("Next.js")})
                                    .toUtf8());
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 3; }, waitMs));
    EXPECT_EQ(store.entries().first(2), before);
    EXPECT_EQ(*changes, 3);

    // Comments, blank lines and spacing are not content.
    const QList<DictionaryEntry> three = store.entries();
    writeAtomically(path(), fileWith({QStringLiteral("# mine"), QString(), QStringLiteral("  Supabase"),
                                      QStringLiteral("cloud code->Claude Code"), QStringLiteral("Next.js")})
                                    .toUtf8());
    store.reload();
    EXPECT_EQ(store.entries(), three);
    EXPECT_EQ(*changes, 3);
}

TEST_F(DictionaryStoreTest, EditsSaveTheFileAndKeepTheirPlaces)
{
    DictionaryStore store(path(), m_settings);
    const DictionaryEntry supabase(QStringLiteral("Supabase"));
    const DictionaryEntry claude(QStringLiteral("Claude Code"), QStringLiteral("cloud code"));
    store.add(supabase);
    store.add(claude);
    store.add(DictionaryEntry(QStringLiteral("Next.js")));
    EXPECT_EQ(store.wordCount(), 2);
    EXPECT_EQ(store.correctionCount(), 1);

    DictionaryEntry edited = supabase;
    edited.phrase = QStringLiteral("Postgres");
    store.update(edited);
    store.remove(claude);
    EXPECT_EQ(store.entries().first(), edited);
    EXPECT_EQ(readText(path()), fileWith({QStringLiteral("Postgres"), QStringLiteral("Next.js")}));
    EXPECT_EQ(store.corrector().apply(QStringLiteral("cloud code")).text, QStringLiteral("cloud code"));

    // A comment only the file has shows whether a call wrote: update of an unknown id does not, remove does.
    writeAtomically(
            path(),
            fileWith({QStringLiteral("# mine"), QStringLiteral("Postgres"), QStringLiteral("Next.js")}).toUtf8());
    const auto changes = countChanges(store);
    store.update(DictionaryEntry(QStringLiteral("Elsewhere")));
    EXPECT_TRUE(readText(path()).contains(u"# mine"));
    store.remove(DictionaryEntry(QStringLiteral("Elsewhere")));
    EXPECT_EQ(readText(path()), fileWith({QStringLiteral("Postgres"), QStringLiteral("Next.js")}));
    EXPECT_EQ(*changes, 0);
}

TEST_F(DictionaryStoreTest, BiasTermsAreTheNewest25PhrasesEachOnceWhateverTheirCase)
{
    DictionaryStore store(path(), m_settings);
    QStringList expected;
    for (int i = 1; i <= 30; ++i) {
        store.add(DictionaryEntry(QStringLiteral("Term%1").arg(i)));
        if (i > 5) {
            expected.prepend(QStringLiteral("Term%1").arg(i));
        }
    }
    EXPECT_EQ(store.biasTerms(), expected);

    writeAtomically(path(), fileWith({QStringLiteral("Supabase"), QStringLiteral("cloud code -> Claude Code"),
                                      QStringLiteral("supabase"), QStringLiteral("SUPABASE")})
                                    .toUtf8());
    store.reload();
    EXPECT_EQ(store.biasTerms(), (QStringList{QStringLiteral("SUPABASE"), QStringLiteral("Claude Code")}));
}

TEST_F(DictionaryStoreTest, AFileThatCannotBeReadKeepsTheEntriesAndIsNeverRewrittenByAReload)
{
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    const auto changes = countChanges(store);

    // Not UTF-8: the bytes are left for the user to repair.
    const QByteArray latin1 = fileWith({QStringLiteral("Supabase")}).toUtf8() + "Caf\xe9\n";
    writeAtomically(path(), latin1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.fileError().has_value(); }, waitMs));
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't read Dictionary.txt: ")) << store.fileError()->toStdString();
    store.reload();
    EXPECT_EQ(lines(store), QStringList{QStringLiteral("Supabase")});
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), latin1);
    EXPECT_EQ(*changes, 0);

    // The next good read clears the message.
    writeAtomically(path(), fileWith({QStringLiteral("Supabase"), QStringLiteral("Cafe")}).toUtf8());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.fileError() && store.entries().size() == 2; }, waitMs));

    // No permission to read; root reads everything, so there only a folder in place of the file makes the case.
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::Permissions{}));
        store.reload();
        EXPECT_TRUE(store.fileError() && store.fileError()->startsWith(u"Couldn't read Dictionary.txt: "));
        EXPECT_EQ(store.entries().size(), 2);
    }
    const QString folderInstead = path(QStringLiteral("Other/Dictionary.txt"));
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    DictionaryStore other(folderInstead, m_settings);
    EXPECT_TRUE(other.fileError() && other.fileError()->startsWith(u"Couldn't read Dictionary.txt: "));
    EXPECT_TRUE(QFileInfo(folderInstead).isDir());
}

TEST_F(DictionaryStoreTest, EditsThatCannotBeSavedStayUntilTheFolderCanBeMade)
{
    // A file where the folder should be.
    const QString blocker = path(QStringLiteral("Sayloom"));
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    DictionaryStore store(path(), m_settings);
    EXPECT_TRUE(store.fileError() && store.fileError()->startsWith(u"Couldn't save Dictionary.txt: "));

    store.add(DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")));
    store.reload();
    EXPECT_EQ(store.entries().size(), 1);
    EXPECT_EQ(store.corrector().apply(QStringLiteral("cloud code")).text, QStringLiteral("Claude Code"));
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't save Dictionary.txt: "));

    // Once the way is clear, the watch on the folder above notices and the edit reaches the file.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.fileError(); }, waitMs));
    EXPECT_EQ(readText(path()), fileWith({QStringLiteral("cloud code -> Claude Code")}));
    EXPECT_EQ(store.entries().size(), 1);
}

TEST_F(DictionaryStoreTest, ASaveRefusedByTheDiskKeepsTheEditsAcrossReloadsOfTheOldFile)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    const QString folder = path(QStringLiteral("Sayloom"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(QStringLiteral("Next.js")));
    EXPECT_TRUE(store.fileError() && store.fileError()->startsWith(u"Couldn't save Dictionary.txt: "));
    store.reload();
    EXPECT_EQ(lines(store), (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")}));

    ASSERT_TRUE(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(QStringLiteral("Postgres")));
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_EQ(lines(store),
              (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js"), QStringLiteral("Postgres")}));
}

} // namespace
