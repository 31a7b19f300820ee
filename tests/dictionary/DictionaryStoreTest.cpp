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
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

QByteArray fileWith(std::initializer_list<const char*> lines)
{
    QByteArray text = DictionaryFile::header().toUtf8();
    for (const char* line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// Runs a shell command in another process, as an editor or a script would touch the file.
void runShell(const QString& command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    ASSERT_TRUE(process.waitForFinished(waitMs));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

QStringList phrases(const DictionaryStore& store)
{
    QStringList result;
    for (const DictionaryEntry& entry : store.entries()) {
        result.append(entry.heardAs ? *entry.heardAs + u" -> " + entry.phrase : entry.phrase);
    }
    return result;
}

QList<QUuid> ids(const DictionaryStore& store)
{
    QList<QUuid> result;
    for (const DictionaryEntry& entry : store.entries()) {
        result.append(entry.id);
    }
    return result;
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

class DictionaryStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QString dictionaryPath() const { return path(QStringLiteral("Sayloom/Dictionary.txt")); }

    struct Counts {
        int entries = 0;
        int corrector = 0;
        int fileError = 0;
    };
    // Counts the change signals from here on.
    std::shared_ptr<Counts> count(DictionaryStore& store)
    {
        auto counts = std::make_shared<Counts>();
        QObject::connect(&store, &DictionaryStore::entriesChanged, [counts] { ++counts->entries; });
        QObject::connect(&store, &DictionaryStore::correctorChanged, [counts] { ++counts->corrector; });
        QObject::connect(&store, &DictionaryStore::fileErrorChanged, [counts] { ++counts->fileError; });
        return counts;
    }

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

TEST_F(DictionaryStoreTest, FirstStartCreatesTheFolderAndAHeaderOnlyFile)
{
    DictionaryStore store(dictionaryPath(), m_settings);

    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::serialize({}));
    EXPECT_TRUE(store.entries().isEmpty());
    EXPECT_TRUE(store.biasTerms().isEmpty());
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_EQ(store.filePath(), dictionaryPath());
    EXPECT_TRUE(store.isWatching());
    EXPECT_EQ(store.corrector().apply(QStringLiteral("cloud code")).text, QStringLiteral("cloud code"));
}

TEST_F(DictionaryStoreTest, LegacyWordListMovesIntoANewFileOnceAndIsDroppedWhenAFileExists)
{
    m_settings.setValue(QStringLiteral("dictionary"),
                        QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")});
    {
        DictionaryStore store(dictionaryPath(), m_settings);
        EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"Supabase\nNext.js\n");
        EXPECT_EQ(phrases(store), (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")}));
        EXPECT_FALSE(m_settings.contains(QStringLiteral("dictionary")));
    }

    // Written to the settings file and read back by a fresh settings object, as on the next start.
    m_settings.setValue(QStringLiteral("dictionary"), QStringList{QStringLiteral("Old")});
    m_settings.sync();
    QSettings reread(m_settings.fileName(), QSettings::IniFormat);
    DictionaryStore store(dictionaryPath(), reread);
    EXPECT_EQ(phrases(store), (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")}));
    EXPECT_FALSE(reread.contains(QStringLiteral("dictionary")));
}

TEST_F(DictionaryStoreTest, LegacyValuesOfTheWrongTypeAreLeftAloneAndGiveAnEmptyDictionary)
{
    const QVariant wrong[] = {QVariant(42), QVariant(QVariantMap{{QStringLiteral("a"), 1}}),
                              QVariant(QVariantList{QStringLiteral("ok"), QVariantMap{}})};
    for (const QVariant& value : wrong) {
        SCOPED_TRACE(value.typeName());
        QDir(path(QStringLiteral("Sayloom"))).removeRecursively();
        m_settings.setValue(QStringLiteral("dictionary"), value);
        DictionaryStore store(dictionaryPath(), m_settings);
        EXPECT_TRUE(store.entries().isEmpty());
        EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::serialize({}));
        EXPECT_EQ(store.fileError(), std::nullopt);
        EXPECT_EQ(m_settings.value(QStringLiteral("dictionary")), value);
    }
}

TEST_F(DictionaryStoreTest, EditsMadeByOtherProgramsShowUpWhateverWayTheyWrite)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    const QString file = dictionaryPath();

    // Written in place, as a shell redirection does.
    runShell(u"printf '%s\\ncloud code -> Claude Code\\n' Supabase >> '" + file + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 2; }, waitMs))
            << phrases(store).join(u'|').toStdString();
    EXPECT_EQ(store.corrector().apply(QStringLiteral("open cloud code")).text, QStringLiteral("open Claude Code"));

    // Replaced by a rename, as sed -i and most editors do; twice, so the watch must follow the new file.
    runShell(u"sed -i 's/Supabase/Postgres/' '" + file + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return phrases(store).contains(QStringLiteral("Postgres")); }, waitMs));
    runShell(u"sed -i '/Postgres/d' '" + file + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 1; }, waitMs));
    EXPECT_EQ(phrases(store), QStringList{QStringLiteral("cloud code -> Claude Code")});

    // Deleted: the dictionary empties and the file comes back with its header.
    runShell(u"rm '" + file + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty() && QFileInfo::exists(file); }, waitMs));
    EXPECT_EQ(readText(file), DictionaryFile::serialize({}));
}

TEST_F(DictionaryStoreTest, TheFolderRemovedAndMadeAgainIsStillWatched)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));

    ASSERT_TRUE(QDir(path(QStringLiteral("Sayloom"))).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(dictionaryPath()); }, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.entries().isEmpty(); }, waitMs));

    runShell(u"printf 'Next.js\\n' >> '" + dictionaryPath() + u"'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return phrases(store) == QStringList{QStringLiteral("Next.js")}; }, waitMs));
    EXPECT_EQ(store.fileError(), std::nullopt);
}

TEST_F(DictionaryStoreTest, ReloadsOfUnchangedContentKeepIdsAndSignalNothing)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    const auto counts = count(store);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    store.add(DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")));
    EXPECT_EQ(counts->entries, 2);
    EXPECT_EQ(counts->corrector, 2);
    const QList<QUuid> before = ids(store);

    // The app's own saves wake the watch; an outside edit behind them shows those reloads changed nothing.
    writeAtomically(dictionaryPath(), fileWith({"Supabase", "cloud code -> Claude Code", "Next.js"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.entries().size() == 3; }, waitMs));
    EXPECT_EQ(ids(store).first(2), before);
    EXPECT_EQ(counts->entries, 3);

    // Comments, blank lines and spacing are not content.
    const QList<QUuid> three = ids(store);
    writeAtomically(dictionaryPath(), fileWith({"# note", "", "  Supabase  ", "cloud code->Claude Code", "Next.js"}));
    store.reload();
    EXPECT_EQ(ids(store), three);
    EXPECT_EQ(counts->entries, 3);
    EXPECT_EQ(counts->fileError, 0);
}

TEST_F(DictionaryStoreTest, EditsSaveTheFileAndKeepTheirPlaces)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    const DictionaryEntry supabase(QStringLiteral("Supabase"));
    const DictionaryEntry claude(QStringLiteral("Claude Code"), QStringLiteral("cloud code"));
    store.add(supabase);
    store.add(claude);
    store.add(DictionaryEntry(QStringLiteral("Next.js")));
    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"Supabase\ncloud code -> Claude Code\nNext.js\n");
    EXPECT_EQ(store.wordCount(), 2);
    EXPECT_EQ(store.correctionCount(), 1);

    DictionaryEntry edited = supabase;
    edited.phrase = QStringLiteral("Postgres");
    store.update(edited);
    EXPECT_EQ(phrases(store), (QStringList{QStringLiteral("Postgres"), QStringLiteral("cloud code -> Claude Code"),
                                           QStringLiteral("Next.js")}));
    EXPECT_EQ(store.entries().first().id, supabase.id);

    store.remove(claude);
    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"Postgres\nNext.js\n");
    EXPECT_EQ(store.corrector().apply(QStringLiteral("cloud code")).text, QStringLiteral("cloud code"));

    // A comment only the file has shows whether a call wrote: update of an unknown id does not, remove does.
    writeAtomically(dictionaryPath(), fileWith({"# mine", "Postgres", "Next.js"}));
    const auto counts = count(store);
    store.update(DictionaryEntry(QStringLiteral("Elsewhere")));
    EXPECT_TRUE(readText(dictionaryPath()).contains(u"# mine"));
    store.remove(DictionaryEntry(QStringLiteral("Elsewhere")));
    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"Postgres\nNext.js\n");
    EXPECT_EQ(counts->entries, 0);
}

TEST_F(DictionaryStoreTest, BiasTermsAreTheNewest25PhrasesEachOnceWhateverTheirCase)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    QStringList expected;
    for (int i = 1; i <= 30; ++i) {
        store.add(DictionaryEntry(QStringLiteral("Term%1").arg(i)));
        if (i > 5) {
            expected.prepend(QStringLiteral("Term%1").arg(i));
        }
    }
    EXPECT_EQ(store.biasTerms(), expected);

    writeAtomically(dictionaryPath(), fileWith({"Supabase", "cloud code -> Claude Code", "supabase", "SUPABASE"}));
    store.reload();
    EXPECT_EQ(store.biasTerms(), (QStringList{QStringLiteral("SUPABASE"), QStringLiteral("Claude Code")}));
}

TEST_F(DictionaryStoreTest, AFileThatCannotBeReadKeepsTheEntriesAndIsNeverRewrittenByAReload)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    const auto counts = count(store);

    // Not UTF-8: the bytes are left for the user to repair.
    const QByteArray latin1 = fileWith({"Supabase", "Caf\xe9"});
    writeAtomically(dictionaryPath(), latin1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.fileError().has_value(); }, waitMs));
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't read Dictionary.txt: ")) << store.fileError()->toStdString();
    EXPECT_EQ(phrases(store), QStringList{QStringLiteral("Supabase")});
    store.reload();
    QFile file(dictionaryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), latin1);
    EXPECT_EQ(counts->entries, 0);

    // The next good read clears the message.
    writeAtomically(dictionaryPath(), fileWith({"Supabase", "Cafe"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.fileError().has_value(); }, waitMs));
    EXPECT_EQ(phrases(store), (QStringList{QStringLiteral("Supabase"), QStringLiteral("Cafe")}));

    // Permissions: root reads everything, so there the case cannot be made.
    if (!runningAsRoot()) {
        ASSERT_TRUE(QFile::setPermissions(dictionaryPath(), QFileDevice::Permissions{}));
        store.reload();
        ASSERT_TRUE(store.fileError().has_value());
        EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't read Dictionary.txt: "));
        EXPECT_EQ(store.entries().size(), 2);
        ASSERT_TRUE(QFile::setPermissions(dictionaryPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }
}

TEST_F(DictionaryStoreTest, AFolderInPlaceOfTheFileIsReportedAndLeftAlone)
{
    ASSERT_TRUE(QDir().mkpath(dictionaryPath()));
    DictionaryStore store(dictionaryPath(), m_settings);
    ASSERT_TRUE(store.fileError().has_value());
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't read Dictionary.txt: ")) << store.fileError()->toStdString();
    EXPECT_TRUE(store.entries().isEmpty());
    EXPECT_TRUE(QFileInfo(dictionaryPath()).isDir());
}

TEST_F(DictionaryStoreTest, WritesThatFailKeepTheEditsUntilTheyCanBeSaved)
{
    // A file where the folder should be: the folder cannot be made.
    const QString blocker = path(QStringLiteral("Sayloom"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    DictionaryStore store(dictionaryPath(), m_settings);
    ASSERT_TRUE(store.fileError().has_value());
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't save Dictionary.txt: ")) << store.fileError()->toStdString();

    store.add(DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")));
    EXPECT_EQ(store.entries().size(), 1);
    EXPECT_EQ(store.corrector().apply(QStringLiteral("cloud code")).text, QStringLiteral("Claude Code"));
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't save Dictionary.txt: "));
    store.reload();
    EXPECT_EQ(store.entries().size(), 1);

    // Once the way is clear, the watch on the folder above notices and the edit reaches the file.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.fileError().has_value(); }, waitMs));
    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"cloud code -> Claude Code\n");
    EXPECT_EQ(store.entries().size(), 1);
}

TEST_F(DictionaryStoreTest, ASaveRefusedByTheDiskKeepsTheEditsAcrossReloadsOfTheOldFile)
{
    DictionaryStore store(dictionaryPath(), m_settings);
    store.add(DictionaryEntry(QStringLiteral("Supabase")));
    // A read-only folder refuses the save while the old file stays readable. Root writes into it anyway.
    if (runningAsRoot()) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    const QString folder = path(QStringLiteral("Sayloom"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(QStringLiteral("Next.js")));
    ASSERT_TRUE(store.fileError().has_value());
    EXPECT_TRUE(store.fileError()->startsWith(u"Couldn't save Dictionary.txt: "));
    store.reload();
    EXPECT_EQ(phrases(store), (QStringList{QStringLiteral("Supabase"), QStringLiteral("Next.js")}));
    EXPECT_TRUE(store.fileError().has_value());

    ASSERT_TRUE(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    store.add(DictionaryEntry(QStringLiteral("Postgres")));
    EXPECT_EQ(store.fileError(), std::nullopt);
    EXPECT_EQ(readText(dictionaryPath()), DictionaryFile::header() + u"Supabase\nNext.js\nPostgres\n");
}

} // namespace
