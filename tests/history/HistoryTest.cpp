#include "history/History.h"

#include "history/HistoryStore.h"
#include "support/Printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace sayloom {

void PrintTo(const HistoryEntry& entry, std::ostream* out)
{
    *out << '{' << entry.text.toStdString() << " @" << entry.date.toString(Qt::ISODateWithMs).toStdString() << '}';
}

} // namespace sayloom

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

HistoryEntry entry(const QString& text, qint64 msSinceReference)
{
    HistoryEntry result;
    result.text = text;
    result.raw = text.toLower();
    result.date = HistoryEntry::referenceDate().addMSecs(msSinceReference);
    return result;
}

// Newest first, a second apart.
QList<HistoryEntry> numbered(int count)
{
    QList<HistoryEntry> list;
    for (int i = 0; i < count; ++i) {
        list.append(entry(u"take %1"_s.arg(i), 800'000'000'000 - i * 1000));
    }
    return list;
}

const QByteArray validEntry = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"Hi","raw":"hi","date":1.5})";
const QString legacyKey = u"history"_s;

class HistoryTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path() const { return m_dir.filePath(u"Sayloom/History.json"_s); }
    QList<HistoryEntry> load() { return History::load(m_settings, path()); }
    void setLegacy(const QList<HistoryEntry>& entries) { m_settings.setValue(legacyKey, *History::encode(entries)); }

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(u"settings.ini"_s), QSettings::IniFormat};
};

TEST_F(HistoryTest, WhatIsSavedLoadsBackExactly)
{
    HistoryEntry full =
            entry(u"Grüße an Zoë — \"quoted\" \\ back\nslash\t🎙️ 日本語 \u0001"_s, 787'654'321'987);
    full.appName = u"Kate — Éditeur"_s;
    full.duration = 3.14159;
    full.corrections = QList<AppliedCorrection>{{u"zoe"_s, u"Zoë"_s, 9, 3}, {u"x"_s, u"🎙️"_s, 40, 3}};
    HistoryEntry beforeReference = entry(u"before the reference date"_s, -1'234'567);
    beforeReference.corrections = QList<AppliedCorrection>{};
    beforeReference.duration = 0.0;
    const QList<HistoryEntry> entries{full, beforeReference, entry(u"bare"_s, 1)};

    ASSERT_TRUE(History::save(entries, path()));
    EXPECT_EQ(load(), entries);
    // Dates are seconds since the reference date; absent values are left out, not written as null.
    const QByteArray bytes = readBytes(path());
    EXPECT_TRUE(bytes.contains("\"date\":787654321.987,"));
    EXPECT_FALSE(bytes.contains("null"));
}

TEST_F(HistoryTest, AHandWrittenFileInTheDocumentedFormLoads)
{
    writeBytes(path(), R"([
      {"date": 0, "raw": "cloud code", "text": "Claude Code", "id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
       "appName": "Terminal", "duration": 2.25, "extra": true,
       "corrections": [{"length": 11, "location": 0, "written": "Claude Code", "heard": "cloud code"}]},
      {"id": "00000000-0000-0000-0000-000000000001", "text": "", "raw": "", "date": 1234.5678,
       "appName": null, "duration": null, "corrections": null}
    ])");
    const QList<HistoryEntry> loaded = load();
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0].id, QUuid::fromString(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s));
    EXPECT_EQ(loaded[0].date, QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(loaded[0].appName, u"Terminal"_s);
    EXPECT_EQ(loaded[0].duration, 2.25);
    EXPECT_EQ(loaded[0].corrections, (QList<AppliedCorrection>{{u"cloud code"_s, u"Claude Code"_s, 0, 11}}));
    // Finer than a millisecond is rounded to one.
    EXPECT_EQ(loaded[1].date, QDateTime(QDate(2001, 1, 1), QTime(0, 20, 34, 568), QTimeZone::utc()));
    EXPECT_EQ(loaded[1].appName, std::nullopt);
    EXPECT_EQ(loaded[1].duration, std::nullopt);
    EXPECT_EQ(loaded[1].corrections, std::nullopt);
}

TEST(HistoryDecode, OneBadEntryFailsTheWholeArray)
{
    // The good entry followed by a copy of it with one thing spoiled.
    const auto spoiled = [](const char* from, const char* to) -> QByteArray {
        EXPECT_TRUE(validEntry.contains(from)) << from;
        return '[' + validEntry + ',' + QByteArray(validEntry).replace(from, to) + ']';
    };
    const QByteArray rejected[] = {
            spoiled(R"("raw":"hi",)", ""),
            spoiled(R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)", ""),
            spoiled(R"(,"date":1.5)", ""),
            spoiled(R"("Hi")", "null"),
            spoiled(R"("Hi")", "5"),
            spoiled("1.5", R"("1")"),
            spoiled("-0C247A3E6E5F", ""),
            spoiled(R"("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")", R"("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}")"),
            spoiled("E621", "G621"),
            spoiled("1.5}", R"(1.5,"appName":3})"),
            spoiled("1.5}", R"(1.5,"duration":"2"})"),
            spoiled("1.5}", R"(1.5,"corrections":{}})"),
            spoiled("1.5}", R"(1.5,"corrections":[{"heard":"a","written":"b","location":0}]})"),
            spoiled("1.5}", R"(1.5,"corrections":[{"heard":"a","written":"b","location":0.5,"length":1}]})"),
            "",
            "{}",
            "42",
            '[' + validEntry,
            '[' + validEntry + "] x",
            "\xff\xfe[]",
            '[' + validEntry + ",\"text\"]"};
    for (const QByteArray& json : rejected) {
        EXPECT_EQ(History::decode(json), std::nullopt) << json.toStdString();
    }
    EXPECT_EQ(History::decode("[]"), QList<HistoryEntry>{});
    EXPECT_EQ(History::decode('[' + validEntry + ']')->size(), 1);
}

TEST_F(HistoryTest, TheFormerSettingsValueIsAFallbackMovedIntoTheFile)
{
    const QList<HistoryEntry> former = numbered(3);
    const QByteArray formerBytes = *History::encode(former);

    // An empty file is a history: the settings are not consulted.
    m_settings.setValue(legacyKey, formerBytes);
    writeBytes(path(), "[]");
    EXPECT_EQ(load(), QList<HistoryEntry>{});
    EXPECT_TRUE(m_settings.contains(legacyKey));

    // No file: moved into it, as data or as text (as a settings file may give it back).
    for (const QVariant& value : {QVariant(formerBytes), QVariant(QString::fromUtf8(formerBytes))}) {
        QFile::remove(path());
        m_settings.setValue(legacyKey, value);
        EXPECT_EQ(load(), former);
        EXPECT_FALSE(m_settings.contains(legacyKey));
        EXPECT_EQ(History::decode(readBytes(path())), former);
    }

    // Values that are not a history give an empty list and stay; no file is made.
    QFile::remove(path());
    for (const QVariant& wrong : {QVariant(42), QVariant(QStringList{u"a"_s, u"b"_s}), QVariant(QByteArray("{}")),
                                  QVariant('[' + validEntry + ",{\"id\":1}]")}) {
        m_settings.setValue(legacyKey, wrong);
        EXPECT_EQ(load(), QList<HistoryEntry>{}) << wrong.typeName();
        EXPECT_EQ(m_settings.value(legacyKey), wrong);
        EXPECT_FALSE(QFileInfo::exists(path()));
    }
}

TEST_F(HistoryTest, ACorruptFileIsCopiedAsideOnceBeforeAnythingReplacesIt)
{
    const QByteArray corrupt = '[' + validEntry + R"(,{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"a"}])";
    writeBytes(path(), corrupt);

    // Loading, twice, starts empty, leaves the file and makes one copy.
    EXPECT_EQ(load(), QList<HistoryEntry>{});
    EXPECT_EQ(load(), QList<HistoryEntry>{});
    EXPECT_EQ(readBytes(path()), corrupt);
    EXPECT_EQ(readBytes(path() + u".corrupt"), corrupt);
    EXPECT_FALSE(QFileInfo::exists(path() + u".corrupt-2"));

    // The next save replaces the file; the copy stays.
    const QList<HistoryEntry> next = numbered(1);
    ASSERT_TRUE(History::save(next, path()));
    EXPECT_EQ(load(), next);

    // A different corruption goes next to the first copy; then the former history moves into the file.
    const QByteArray truncated = readBytes(path()).chopped(5);
    writeBytes(path(), truncated);
    const QList<HistoryEntry> former = numbered(2);
    setLegacy(former);
    EXPECT_EQ(load(), former);
    EXPECT_EQ(readBytes(path() + u".corrupt"), corrupt);
    EXPECT_EQ(readBytes(path() + u".corrupt-2"), truncated);
    EXPECT_EQ(History::decode(readBytes(path())), former);
}

TEST_F(HistoryTest, AFileThatCannotBeReadIsNeverReplacedWhereItIs)
{
    const QList<HistoryEntry> former = numbered(2);
    setLegacy(former);

    // A folder in place of the file cannot be read, by root either, and stays where it is.
    ASSERT_TRUE(QDir().mkpath(path()));
    EXPECT_EQ(load(), former);
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_TRUE(m_settings.contains(legacyKey));
    ASSERT_TRUE(QDir(path()).removeRecursively());

    // A file without read permission is moved aside first. Root reads it anyway.
    if (::geteuid() == 0) {
        return;
    }
    writeBytes(path(), "[]");
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::Permissions{}));
    EXPECT_EQ(load(), former);
    EXPECT_EQ(load(), former);
    ASSERT_TRUE(QFile::setPermissions(path() + u".unreadable", QFileDevice::ReadOwner));
    EXPECT_EQ(readBytes(path() + u".unreadable"), "[]");
}

TEST_F(HistoryTest, SavesKeepTheNewest1000AndAFailedSaveSaysSoAndChangesNothing)
{
    const QList<HistoryEntry> many = numbered(1001);
    ASSERT_TRUE(History::save(many, path()));
    EXPECT_EQ(load(), many.first(1000));

    // A file where the folder should be, and a folder where the file should be.
    const QString blocker = m_dir.filePath(u"blocker"_s);
    writeBytes(blocker, "not a folder");
    EXPECT_FALSE(History::save(many, blocker + u"/History.json"));
    EXPECT_EQ(readBytes(blocker), "not a folder");
    const QString folder = m_dir.filePath(u"folder/History.json"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(History::save(many, folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    // A number JSON cannot hold: nothing is written over the good file.
    QList<HistoryEntry> broken = many;
    broken[1].duration = std::nan("");
    EXPECT_FALSE(History::save(broken, path()));
    EXPECT_EQ(load(), many.first(1000));

    // A full disk (a file-size limit binds root too): a short file must not replace the good one.
    const QList<HistoryEntry> two = numbered(2);
    ASSERT_TRUE(History::save(two, path()));
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{rlim_t(readBytes(path()).size()), previous.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    const bool saved = History::save(numbered(3), path());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(load(), two);
}

// The store keeps the newest 1000 and writes every change through; the list in memory stays the truth when the disk
// refuses a save, and the next change writes it all.
TEST_F(HistoryTest, TheStoreWritesEveryChangeAndKeepsTheNewest1000)
{
    ASSERT_TRUE(History::save(numbered(1000), path()));
    HistoryStore store(path(), m_settings);
    int changed = 0;
    QObject::connect(&store, &HistoryStore::entriesChanged, [&changed] { ++changed; });
    store.add(entry(u"newest"_s, 900'000'000'000));
    ASSERT_EQ(store.entries().size(), 1000);
    EXPECT_EQ(store.entries().first().text, u"newest"_s);
    EXPECT_EQ(store.entries().last().text, u"take 998"_s);
    EXPECT_EQ(load(), store.entries());

    store.remove(store.entries()[1]);
    EXPECT_EQ(store.entries()[1].text, u"take 1"_s);
    store.remove(entry(u"not there"_s, 0));
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(load(), store.entries());

    ASSERT_TRUE(QFile::remove(path()) && QDir().mkpath(path()));
    store.clear();
    EXPECT_TRUE(store.entries().isEmpty());
    ASSERT_TRUE(QDir(path()).removeRecursively());
    store.add(entry(u"after the failure"_s, 1));
    EXPECT_EQ(load(), store.entries());
    EXPECT_EQ(changed, 4);
}

} // namespace
