#include "dictionary/DictionaryStore.h"

#include "dictionary/DictionaryFile.h"
#include "support/Printers.h"

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
using namespace Qt::StringLiterals;

namespace {

// Generous: the machine running the tests may be busy.
constexpr int waitMs = 5000;

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readText(const QString& path)
{
    return QString::fromUtf8(readBytes(path));
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
    process.start(u"sh"_s, {u"-c"_s, command});
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

bool startsWith(const std::optional<QString>& error, QStringView prefix)
{
    return error && error->startsWith(prefix);
}

const DictionaryEntry claude(u"Claude Code"_s, u"cloud code"_s);

class DictionaryStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& relative = u"Sayloom/Dictionary.txt"_s) const { return m_dir.filePath(relative); }
    void write(const QStringList& lines) { writeAtomically(path(), fileWith(lines).toUtf8()); }
    template <typename Condition>
    static bool waitFor(Condition condition)
    {
        return QTest::qWaitFor(condition, waitMs);
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
    QSettings m_settings{m_dir.filePath(u"settings.ini"_s), QSettings::IniFormat};
};

TEST_F(DictionaryStoreTest, FirstStartCreatesTheFileAndMovesTheLegacyWordListOnce)
{
    const QString key = DictionaryStore::legacySettingsKey.toString();
    // Nothing, or values of another type that are not a word list and not ours to remove: a header-only file.
    for (const QVariant& value : {QVariant(), QVariant(42), QVariant(QVariantList{key, QVariantMap{}})}) {
        QDir(path(u"Sayloom"_s)).removeRecursively();
        if (value.isValid()) {
            m_settings.setValue(key, value);
        }
        DictionaryStore store(path(), m_settings);
        EXPECT_EQ(readText(path()), DictionaryFile::serialize({}));
        EXPECT_TRUE(store.entries().isEmpty());
        EXPECT_EQ(store.fileError(), std::nullopt);
        EXPECT_TRUE(store.isWatching());
        EXPECT_EQ(m_settings.value(key), value);
    }

    QDir(path(u"Sayloom"_s)).removeRecursively();
    m_settings.setValue(key, QStringList{u"Supabase"_s, u"Next.js"_s});
    DictionaryStore(path(), m_settings);
    EXPECT_EQ(readText(path()), fileWith({u"Supabase"_s, u"Next.js"_s}));
    EXPECT_FALSE(m_settings.contains(key));

    // Next start, settings read back from disk: the existing file stays as it is and the key goes.
    m_settings.setValue(key, QStringList{u"Old"_s});
    m_settings.sync();
    QSettings reread(m_settings.fileName(), QSettings::IniFormat);
    DictionaryStore(path(), reread);
    EXPECT_EQ(readText(path()), fileWith({u"Supabase"_s, u"Next.js"_s}));
    EXPECT_FALSE(reread.contains(key));
}

TEST_F(DictionaryStoreTest, EditsByOtherProgramsShowUpThroughTheFolderWatch)
{
    DictionaryStore store(path(), m_settings);

    // Written in place, as a shell redirection does.
    runShell(u"printf '%s\\ncloud code -> Claude Code\\n' Supabase >> '" + path() + u"'");
    EXPECT_TRUE(waitFor([&] { return store.entries().size() == 2; }));
    EXPECT_EQ(store.corrector().apply(u"open cloud code"_s).text, u"open Claude Code"_s);

    // Replaced by a rename, as sed -i and most editors do; twice, so the watch must follow the new file.
    runShell(u"sed -i 's/Supabase/Postgres/' '" + path() + u"'");
    EXPECT_TRUE(waitFor([&] { return lines(store).contains(u"Postgres"_s); }));
    runShell(u"sed -i '/Postgres/d' '" + path() + u"'");
    EXPECT_TRUE(waitFor([&] { return store.entries().size() == 1; }));

    // The folder removed: made again, empty, and still watched.
    ASSERT_TRUE(QDir(path(u"Sayloom"_s)).removeRecursively());
    EXPECT_TRUE(waitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }));
    runShell(u"printf 'Next.js\\n' >> '" + path() + u"'");
    EXPECT_TRUE(waitFor([&] { return lines(store) == QStringList{u"Next.js"_s}; }));

    // The file deleted: the dictionary empties and the file comes back with its header.
    runShell(u"rm '" + path() + u"'");
    EXPECT_TRUE(waitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }));
    EXPECT_EQ(readText(path()), DictionaryFile::serialize({}));
}

TEST_F(DictionaryStoreTest, EditsAndReloadsKeepIdsAndSignalOnlyRealChanges)
{
    DictionaryStore store(path(), m_settings);
    const auto changes = countChanges(store);
    DictionaryEntry supabase(u"Supabase"_s);
    store.add(supabase);
    store.add(claude);
    store.add(DictionaryEntry(u"Next.js"_s));
    supabase.phrase = u"Postgres"_s;
    store.update(supabase);
    store.remove(claude);
    EXPECT_EQ(store.entries().first(), supabase);
    EXPECT_EQ(readText(path()), fileWith({u"Postgres"_s, u"Next.js"_s}));
    EXPECT_EQ(store.corrector().apply(u"cloud code"_s).text, u"cloud code"_s);
    EXPECT_EQ(*changes, 5);
    const QList<DictionaryEntry> before = store.entries();

    // The app's own saves wake the watch; one outside edit behind them shows those reloads changed nothing.
    write({u"Postgres"_s, u"Next.js"_s, u"cloud code -> Claude Code"_s});
    ASSERT_TRUE(waitFor([&] { return store.entries().size() == 3; }));
    EXPECT_EQ(store.entries().first(2), before);
    EXPECT_EQ(*changes, 6);

    // Comments, blank lines and spacing are not content; an unknown id is no edit and writes nothing.
    const QList<DictionaryEntry> three = store.entries();
    write({u"# mine"_s, QString(), u"  Postgres"_s, u"Next.js"_s, u"cloud code->Claude Code"_s});
    store.reload();
    store.update(DictionaryEntry(u"Elsewhere"_s));
    EXPECT_EQ(store.entries(), three);
    EXPECT_TRUE(readText(path()).contains(u"# mine"));
    EXPECT_EQ(*changes, 6);
}

TEST_F(DictionaryStoreTest, BiasTermsAreTheNewest25PhrasesEachOnceWhateverTheirCase)
{
    DictionaryStore store(path(), m_settings);
    QStringList expected;
    for (int i = 1; i <= 30; ++i) {
        store.add(DictionaryEntry(u"Term%1"_s.arg(i)));
        if (i > 5) {
            expected.prepend(u"Term%1"_s.arg(i));
        }
    }
    EXPECT_EQ(store.biasTerms(), expected);

    write({u"Supabase"_s, u"cloud code -> Claude Code"_s, u"supabase"_s, u"SUPABASE"_s});
    store.reload();
    EXPECT_EQ(store.biasTerms(), (QStringList{u"SUPABASE"_s, u"Claude Code"_s}));
}

TEST_F(DictionaryStoreTest, AFileThatCannotBeReadKeepsTheEntriesAndIsNeverRewritten)
{
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(u"Supabase"_s));
    const auto changes = countChanges(store);

    // Not UTF-8: the bytes are left for the user to repair.
    const QByteArray latin1 = fileWith({u"Supabase"_s}).toUtf8() + "Caf\xe9\n";
    writeAtomically(path(), latin1);
    ASSERT_TRUE(waitFor([&] { return store.fileError().has_value(); }));
    EXPECT_TRUE(startsWith(store.fileError(), u"Couldn't read Dictionary.txt: ")) << store.fileError()->toStdString();
    store.reload();
    EXPECT_EQ(lines(store), QStringList{u"Supabase"_s});
    EXPECT_EQ(readBytes(path()), latin1);
    EXPECT_EQ(*changes, 0);

    // The next good read clears the message.
    write({u"Supabase"_s, u"Cafe"_s});
    EXPECT_TRUE(waitFor([&] { return !store.fileError() && store.entries().size() == 2; }));

    // No permission to read; root reads everything, so there only a folder in place of the file makes the case.
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::Permissions{}));
        store.reload();
        EXPECT_TRUE(startsWith(store.fileError(), u"Couldn't read Dictionary.txt: "));
        EXPECT_EQ(store.entries().size(), 2);
    }
    const QString folderInstead = path(u"Other/Dictionary.txt"_s);
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    DictionaryStore other(folderInstead, m_settings);
    EXPECT_TRUE(startsWith(other.fileError(), u"Couldn't read Dictionary.txt: "));
    EXPECT_TRUE(QFileInfo(folderInstead).isDir());
}

TEST_F(DictionaryStoreTest, EditsThatCannotBeSavedStayUntilTheFolderCanBeMade)
{
    // A file where the folder should be.
    const QString blocker = path(u"Sayloom"_s);
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    DictionaryStore store(path(), m_settings);
    EXPECT_TRUE(startsWith(store.fileError(), u"Couldn't save Dictionary.txt: "));
    store.add(claude);
    store.reload();
    EXPECT_EQ(store.corrector().apply(u"cloud code"_s).text, u"Claude Code"_s);
    EXPECT_TRUE(startsWith(store.fileError(), u"Couldn't save Dictionary.txt: "));

    // Once the way is clear, the watch on the folder above notices and the edit reaches the file.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(waitFor([&] { return !store.fileError(); }));
    EXPECT_EQ(readText(path()), fileWith({u"cloud code -> Claude Code"_s}));
}

TEST_F(DictionaryStoreTest, ASaveRefusedByTheDiskKeepsTheEditsAcrossReloadsOfTheOldFile)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(u"Supabase"_s));
    const QString folder = path(u"Sayloom"_s);
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(u"Next.js"_s));
    EXPECT_TRUE(startsWith(store.fileError(), u"Couldn't save Dictionary.txt: "));
    store.reload();
    EXPECT_EQ(lines(store), (QStringList{u"Supabase"_s, u"Next.js"_s}));

    ASSERT_TRUE(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(u"Postgres"_s));
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_EQ(lines(store), (QStringList{u"Supabase"_s, u"Next.js"_s, u"Postgres"_s}));
}

} // namespace
