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

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The header, then one line each.
QByteArray fileWith(const QStringList& lines)
{
    return (DictionaryFile::header() + lines.join(u'\n') + u'\n').toUtf8();
}

// Another process touching the file, as a script or an editor would.
void runShell(const QString& command)
{
    ASSERT_EQ(QProcess::execute(u"sh"_s, {u"-c"_s, command}), 0) << command.toStdString();
}

QStringList lines(const DictionaryStore& store)
{
    QStringList result;
    for (const DictionaryEntry& entry : store.entries()) {
        result.append(entry.heardAs ? *entry.heardAs + u" -> " + entry.phrase : entry.phrase);
    }
    return result;
}

// Generous: the machine running the tests may be busy.
constexpr int waitMs = 5000;

const DictionaryEntry claude(u"Claude Code"_s, u"cloud code"_s);

class DictionaryStoreTest : public testing::Test {
protected:
    QString path(const QString& relative = u"Sayloom/Dictionary.txt"_s) const { return m_dir.filePath(relative); }
    // Replaced atomically, as an editor saves.
    void write(const QByteArray& bytes)
    {
        QSaveFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.commit());
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
        EXPECT_EQ(readBytes(path()), fileWith({}));
        EXPECT_TRUE(store.entries().isEmpty());
        EXPECT_EQ(store.fileError(), std::nullopt);
        EXPECT_TRUE(store.isWatching());
        EXPECT_EQ(m_settings.value(key), value);
    }

    QDir(path(u"Sayloom"_s)).removeRecursively();
    m_settings.setValue(key, QStringList{u"Supabase"_s, u"Next.js"_s});
    DictionaryStore(path(), m_settings);
    EXPECT_EQ(readBytes(path()), fileWith({u"Supabase"_s, u"Next.js"_s}));
    EXPECT_FALSE(m_settings.contains(key));

    // Next start, settings read back from disk: the existing file stays as it is and the key goes.
    m_settings.setValue(key, QStringList{u"Old"_s});
    m_settings.sync();
    QSettings reread(m_settings.fileName(), QSettings::IniFormat);
    DictionaryStore(path(), reread);
    EXPECT_EQ(readBytes(path()), fileWith({u"Supabase"_s, u"Next.js"_s}));
    EXPECT_FALSE(reread.contains(key));
}

TEST_F(DictionaryStoreTest, EditsByOtherProgramsShowUpThroughTheFolderWatch)
{
    DictionaryStore store(path(), m_settings);

    // Written in place, as a shell redirection does.
    runShell(u"printf '%s\\ncloud code -> Claude Code\\n' Supabase >> '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 2; }, waitMs));
    EXPECT_EQ(store.corrector().apply(u"open cloud code"_s).text, u"open Claude Code"_s);

    // Replaced by a rename, as sed -i and most editors do; twice, so the watch must follow the new file.
    runShell(u"sed -i 's/Supabase/Postgres/' '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines(store).contains(u"Postgres"_s); }, waitMs));
    runShell(u"sed -i '/Postgres/d' '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 1; }, waitMs));

    // The folder removed: made again, empty, and still watched.
    ASSERT_TRUE(QDir(path(u"Sayloom"_s)).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }, waitMs));
    runShell(u"printf 'Next.js\\n' >> '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines(store) == QStringList{u"Next.js"_s}; }, waitMs));

    // The file deleted: the dictionary empties and the file comes back with its header.
    runShell(u"rm '" + path() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(path()); }, waitMs));
    EXPECT_EQ(readBytes(path()), fileWith({}));
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
    EXPECT_EQ(readBytes(path()), fileWith({u"Postgres"_s, u"Next.js"_s}));
    EXPECT_EQ(store.corrector().apply(u"cloud code"_s).text, u"cloud code"_s);
    EXPECT_EQ(*changes, 5);
    const QList<DictionaryEntry> before = store.entries();

    // The app's own saves wake the watch; one outside edit behind them shows those reloads changed nothing.
    write(fileWith({u"Postgres"_s, u"Next.js"_s, u"cloud code -> Claude Code"_s}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 3; }, waitMs));
    EXPECT_EQ(store.entries().first(2), before);
    EXPECT_EQ(*changes, 6);

    // Comments, blank lines and spacing are not content; an unknown id is no edit and writes nothing.
    const QList<DictionaryEntry> three = store.entries();
    write(fileWith({u"# mine"_s, QString(), u"  Postgres"_s, u"Next.js"_s, u"cloud code->Claude Code"_s}));
    store.reload();
    store.update(DictionaryEntry(u"Elsewhere"_s));
    EXPECT_EQ(store.entries(), three);
    EXPECT_TRUE(readBytes(path()).contains("# mine"));
    EXPECT_EQ(*changes, 6);

    // The same line twice is two entries, each keeping its own id through the reload of a changed file.
    write(fileWith({u"Supabase"_s, u"Supabase"_s}));
    store.reload();
    const QList<DictionaryEntry> twins = store.entries();
    ASSERT_NE(twins[0].id, twins[1].id);
    write(fileWith({u"Supabase"_s, u"Supabase"_s, u"Next.js"_s}));
    store.reload();
    EXPECT_EQ(store.entries().first(2), twins);
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

    write(fileWith({u"Supabase"_s, u"cloud code -> Claude Code"_s, u"supabase"_s, u"SUPABASE"_s}));
    store.reload();
    EXPECT_EQ(store.biasTerms(), (QStringList{u"SUPABASE"_s, u"Claude Code"_s}));
}

TEST_F(DictionaryStoreTest, AFileThatCannotBeReadKeepsTheEntriesAndIsNeverRewritten)
{
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(u"Supabase"_s));
    const auto changes = countChanges(store);

    // Not UTF-8: the bytes are left for the user to repair.
    const QByteArray latin1 = fileWith({u"Supabase"_s}) + "Caf\xe9\n";
    write(latin1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.fileError().has_value(); }, waitMs));
    EXPECT_TRUE(store.fileError().value_or(QString()).startsWith(u"Couldn't read Dictionary.txt: "))
            << store.fileError()->toStdString();
    store.reload();
    EXPECT_EQ(lines(store), QStringList{u"Supabase"_s});
    EXPECT_EQ(readBytes(path()), latin1);
    EXPECT_EQ(*changes, 0);

    // The next good read clears the message.
    write(fileWith({u"Supabase"_s, u"Cafe"_s}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.fileError() && store.entries().size() == 2; }, waitMs));

    // A folder in place of the file cannot be read either, and stays a folder.
    const QString folderInstead = path(u"Other/Dictionary.txt"_s);
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    DictionaryStore other(folderInstead, m_settings);
    EXPECT_TRUE(other.fileError().value_or(QString()).startsWith(u"Couldn't read Dictionary.txt: "));
    EXPECT_TRUE(QFileInfo(folderInstead).isDir());
}

TEST_F(DictionaryStoreTest, EditsThatCannotBeSavedStayUntilTheFolderCanBeMade)
{
    // A file where the folder should be.
    const QString blocker = path(u"Sayloom"_s);
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    DictionaryStore store(path(), m_settings);
    EXPECT_TRUE(store.fileError().value_or(QString()).startsWith(u"Couldn't save Dictionary.txt: "));
    store.add(claude);
    store.reload();
    EXPECT_EQ(store.corrector().apply(u"cloud code"_s).text, u"Claude Code"_s);
    EXPECT_TRUE(store.fileError().value_or(QString()).startsWith(u"Couldn't save Dictionary.txt: "));

    // Once the way is clear, the watch on the folder above notices and the edit reaches the file.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.fileError(); }, waitMs));
    EXPECT_EQ(readBytes(path()), fileWith({u"cloud code -> Claude Code"_s}));
}

TEST_F(DictionaryStoreTest, ASaveRefusedByTheDiskKeepsTheEditsAcrossReloadsOfTheOldFile)
{
    DictionaryStore store(path(), m_settings);
    store.add(DictionaryEntry(u"Supabase"_s));
    // A full disk, as far as this process can tell: no file may grow past its present size. Root is bound by it too.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{rlim_t(readBytes(path()).size()), previous.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    store.add(DictionaryEntry(u"Next.js"_s));
    const std::optional<QString> error = store.fileError();
    store.reload();
    const QStringList afterReload = lines(store);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(error.value_or(QString()).startsWith(u"Couldn't save Dictionary.txt: "));
    EXPECT_EQ(afterReload, (QStringList{u"Supabase"_s, u"Next.js"_s}));
    store.add(DictionaryEntry(u"Postgres"_s));
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_EQ(readBytes(path()), fileWith({u"Supabase"_s, u"Next.js"_s, u"Postgres"_s}));
}

} // namespace
