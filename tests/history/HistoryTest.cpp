#include "History.h"

#include "Printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace sayloom {

void PrintTo(const HistoryEntry& entry, std::ostream* out)
{
    *out << '{' << HistoryEntry::idText(entry.id).toStdString() << ' ' << entry.text.toStdString() << " @"
         << entry.date.toString(Qt::ISODateWithMs).toStdString() << '}';
}

} // namespace sayloom

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

HistoryEntry entry(const QString& text, qint64 msSinceReference = 0)
{
    HistoryEntry result;
    result.text = text;
    result.raw = text.toLower();
    result.date = HistoryEntry::referenceDate().addMSecs(msSinceReference);
    return result;
}

QList<HistoryEntry> numbered(int count)
{
    QList<HistoryEntry> list;
    for (int i = 0; i < count; ++i) {
        list.append(entry(QStringLiteral("take %1").arg(i), 800'000'000'000 - i * 1000));
    }
    return list;
}

const QByteArray validEntry = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"Hi","raw":"hi","date":1.5})";

class HistoryTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString historyPath() const { return m_dir.filePath(QStringLiteral("Sayloom/History.json")); }
    QString corruptPath(const char* suffix = "") const { return historyPath() + u".corrupt" + QLatin1String(suffix); }

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

TEST_F(HistoryTest, WhatIsSavedLoadsBackExactly)
{
    HistoryEntry full = entry(QStringLiteral("Grüße an Zoë — \"quoted\" \\ back\nslash\t🎙️ 日本語 \u0001"),
                              787'654'321'987);
    full.raw = QStringLiteral("grüße an zoë");
    full.appName = QStringLiteral("Kate — Éditeur");
    full.duration = 3.14159;
    full.corrections = QList<AppliedCorrection>{{QStringLiteral("zoe"), QStringLiteral("Zoë"), 9, 3},
                                                {QStringLiteral("x"), QStringLiteral("🎙️"), 40, 3}};
    HistoryEntry emptyCorrections = entry(QStringLiteral("before the reference date"), -1'234'567);
    emptyCorrections.corrections = QList<AppliedCorrection>{};
    emptyCorrections.duration = 0.0;
    const HistoryEntry bare = entry(QStringLiteral("bare"), 1);
    const QList<HistoryEntry> entries{full, emptyCorrections, bare};

    ASSERT_TRUE(History::save(entries, historyPath()));
    EXPECT_EQ(History::load(m_settings, historyPath()), entries);

    const QByteArray bytes = readBytes(historyPath());
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains("\": "));
    EXPECT_TRUE(bytes.contains(QByteArray("\"id\":\"" + HistoryEntry::idText(full.id).toLatin1() + '"')));
    EXPECT_TRUE(bytes.contains("\"date\":787654321.987,"));
    EXPECT_TRUE(bytes.contains("\"date\":-1234.567,"));
    EXPECT_TRUE(bytes.contains("\"corrections\":[]"));
    EXPECT_TRUE(bytes.contains("Grüße"));
    // Optional values that are absent are left out, not written as null.
    EXPECT_TRUE(bytes.endsWith(R"("text":"bare","raw":"bare","date":0.001}])")) << bytes.toStdString();
    EXPECT_FALSE(bytes.contains("null"));
}

TEST_F(HistoryTest, AHandWrittenFileInTheDocumentedFormLoads)
{
    writeBytes(historyPath(), R"([
      {"date": 0, "raw": "cloud code", "text": "Claude Code", "id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
       "appName": "Terminal", "duration": 2.25, "extra": true,
       "corrections": [{"length": 11, "location": 0, "written": "Claude Code", "heard": "cloud code"}]},
      {"id": "00000000-0000-0000-0000-000000000001", "text": "", "raw": "", "date": 1234.5678,
       "appName": null, "duration": null, "corrections": null}
    ])");
    const QList<HistoryEntry> loaded = History::load(m_settings, historyPath());
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0].id, QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")));
    EXPECT_EQ(loaded[0].date, QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(loaded[0].appName, QStringLiteral("Terminal"));
    EXPECT_EQ(loaded[0].duration, 2.25);
    EXPECT_EQ(loaded[0].corrections,
              (QList<AppliedCorrection>{{QStringLiteral("cloud code"), QStringLiteral("Claude Code"), 0, 11}}));
    // Finer than a millisecond is rounded to one.
    EXPECT_EQ(loaded[1].date, QDateTime(QDate(2001, 1, 1), QTime(0, 20, 34, 568), QTimeZone::utc()));
    EXPECT_EQ(loaded[1].appName, std::nullopt);
    EXPECT_EQ(loaded[1].duration, std::nullopt);
    EXPECT_EQ(loaded[1].corrections, std::nullopt);

    // Written back in the compact form, without the absent keys.
    ASSERT_TRUE(History::save(loaded, historyPath()));
    EXPECT_TRUE(
            readBytes(historyPath())
                    .endsWith(R"({"id":"00000000-0000-0000-0000-000000000001","text":"","raw":"","date":1234.568}])"));
}

TEST(HistoryDecode, OneBadEntryFailsTheWholeArray)
{
    const QJsonObject good = QJsonDocument::fromJson(validEntry).object();
    // Each row spoils the good entry in one way; an undefined value removes the key.
    const std::pair<const char*, QJsonValue> spoilers[] = {
            {"raw", QJsonValue::Undefined},
            {"id", QJsonValue::Undefined},
            {"date", QJsonValue::Undefined},
            {"text", QJsonValue::Null},
            {"text", 5},
            {"date", u"1"_s},
            {"id", u"E621E1F8-C36C-495A-93FC"_s},
            {"id", u"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"_s},
            {"id", u"G621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s},
            {"appName", 3},
            {"duration", u"2"_s},
            {"corrections", QJsonObject{}},
            {"corrections", QJsonArray{QJsonObject{{u"heard"_s, u"a"_s}, {u"written"_s, u"b"_s}, {u"location"_s, 0}}}},
            {"corrections",
             QJsonArray{QJsonObject{
                     {u"heard"_s, u"a"_s}, {u"written"_s, u"b"_s}, {u"location"_s, 0.5}, {u"length"_s, 1}}}},
    };
    for (const auto& [key, value] : spoilers) {
        QJsonObject spoiled = good;
        if (value.isUndefined()) {
            spoiled.remove(QLatin1String(key));
        } else {
            spoiled.insert(QLatin1String(key), value);
        }
        const QByteArray json = QJsonDocument(QJsonArray{good, spoiled}).toJson(QJsonDocument::Compact);
        EXPECT_EQ(History::decode(json), std::nullopt) << json.toStdString();
    }

    EXPECT_EQ(History::decode("[]"), QList<HistoryEntry>{});
    EXPECT_EQ(History::decode('[' + validEntry + ']')->size(), 1);
    for (const QByteArray& bad : {QByteArray(), QByteArray("{}"), QByteArray("42"), QByteArray('[' + validEntry),
                                  QByteArray('[' + validEntry + "] x"), QByteArray("\xff\xfe[]"),
                                  QByteArray('[' + validEntry + ",\"text\",null]")}) {
        EXPECT_EQ(History::decode(bad), std::nullopt) << bad.toStdString();
    }
}

TEST_F(HistoryTest, TheFormerSettingsValueIsAFallbackMovedIntoTheFile)
{
    const QList<HistoryEntry> former = numbered(3);
    const QByteArray formerBytes = *History::encode(former);

    // An empty file is a history: the settings are not consulted.
    m_settings.setValue(QStringLiteral("history"), formerBytes);
    writeBytes(historyPath(), "[]");
    EXPECT_EQ(History::load(m_settings, historyPath()), QList<HistoryEntry>{});
    EXPECT_TRUE(m_settings.contains(QStringLiteral("history")));

    // No file: moved into it, as data or as text (as a settings file may give it back).
    for (const QVariant& value : {QVariant(formerBytes), QVariant(QString::fromUtf8(formerBytes))}) {
        QFile::remove(historyPath());
        m_settings.setValue(QStringLiteral("history"), value);
        EXPECT_EQ(History::load(m_settings, historyPath()), former);
        EXPECT_FALSE(m_settings.contains(QStringLiteral("history")));
        EXPECT_EQ(History::decode(readBytes(historyPath())), former);
    }

    // Nothing anywhere.
    QFile::remove(historyPath());
    EXPECT_EQ(History::load(m_settings, historyPath()), QList<HistoryEntry>{});
    EXPECT_FALSE(QFileInfo::exists(historyPath()));
}

TEST_F(HistoryTest, SettingsValuesThatAreNotAHistoryGiveAnEmptyListAndStay)
{
    const QVariant wrong[] = {QVariant(42), QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")}),
                              QVariant(QByteArray("{\"not\":\"a list\"}")),
                              QVariant(QByteArray("[" + validEntry + ",{\"id\":1}]"))};
    for (const QVariant& value : wrong) {
        SCOPED_TRACE(value.typeName());
        m_settings.setValue(QStringLiteral("history"), value);
        EXPECT_EQ(History::load(m_settings, historyPath()), QList<HistoryEntry>{});
        EXPECT_EQ(m_settings.value(QStringLiteral("history")), value);
        EXPECT_FALSE(QFileInfo::exists(historyPath()));
    }
}

TEST_F(HistoryTest, ACorruptFileIsCopiedAsideOnceBeforeAnythingReplacesIt)
{
    const QByteArray corrupt = '[' + validEntry + R"(,{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"a"}])";
    writeBytes(historyPath(), corrupt);

    // Loading leaves the file as it is and starts empty.
    EXPECT_EQ(History::load(m_settings, historyPath()), QList<HistoryEntry>{});
    EXPECT_EQ(readBytes(historyPath()), corrupt);
    EXPECT_EQ(readBytes(corruptPath()), corrupt);

    // Loading the same file again makes no second copy.
    EXPECT_EQ(History::load(m_settings, historyPath()), QList<HistoryEntry>{});
    EXPECT_FALSE(QFileInfo::exists(corruptPath("-2")));

    // The next save replaces the file; the copy stays.
    const QList<HistoryEntry> next = numbered(1);
    ASSERT_TRUE(History::save(next, historyPath()));
    EXPECT_EQ(History::load(m_settings, historyPath()), next);
    EXPECT_EQ(readBytes(corruptPath()), corrupt);

    // A later, different corruption goes next to the first copy instead of over it; with a former history in the
    // settings, that one is moved into the file after the copy is made.
    const QByteArray truncated = readBytes(historyPath()).chopped(5);
    writeBytes(historyPath(), truncated);
    const QList<HistoryEntry> former = numbered(2);
    m_settings.setValue(QStringLiteral("history"), *History::encode(former));
    EXPECT_EQ(History::load(m_settings, historyPath()), former);
    EXPECT_EQ(readBytes(corruptPath()), corrupt);
    EXPECT_EQ(readBytes(corruptPath("-2")), truncated);
    EXPECT_EQ(History::decode(readBytes(historyPath())), former);
    EXPECT_FALSE(m_settings.contains(QStringLiteral("history")));
}

TEST_F(HistoryTest, AFileThatCannotBeReadIsNeverReplacedWhereItIs)
{
    const QList<HistoryEntry> former = numbered(2);
    m_settings.setValue(QStringLiteral("history"), *History::encode(former));

    // A folder in place of the file cannot be read, by root either, and stays where it is.
    ASSERT_TRUE(QDir().mkpath(historyPath()));
    EXPECT_EQ(History::load(m_settings, historyPath()), former);
    EXPECT_TRUE(QFileInfo(historyPath()).isDir());
    EXPECT_TRUE(m_settings.contains(QStringLiteral("history")));
    ASSERT_TRUE(QDir(historyPath()).removeRecursively());

    // A file without read permission is moved aside before the former history takes its place. Root reads it anyway.
    if (::geteuid() == 0) {
        return;
    }
    writeBytes(historyPath(), "[]");
    ASSERT_TRUE(QFile::setPermissions(historyPath(), QFileDevice::Permissions{}));
    EXPECT_EQ(History::load(m_settings, historyPath()), former);
    EXPECT_EQ(History::load(m_settings, historyPath()), former);
    EXPECT_FALSE(m_settings.contains(QStringLiteral("history")));
    ASSERT_TRUE(QFile::setPermissions(historyPath() + u".unreadable", QFileDevice::ReadOwner));
    EXPECT_EQ(readBytes(historyPath() + u".unreadable"), "[]");
}

TEST_F(HistoryTest, SavesKeepTheNewest1000)
{
    const QList<HistoryEntry> many = numbered(1500);
    ASSERT_TRUE(History::save(many, historyPath()));
    EXPECT_EQ(History::load(m_settings, historyPath()), many.first(1000));

    // The 1001st take pushes out the oldest.
    QList<HistoryEntry> full = many.first(1000);
    full.prepend(entry(QStringLiteral("newest"), 900'000'000'000));
    ASSERT_TRUE(History::save(full, historyPath()));
    const QList<HistoryEntry> loaded = History::load(m_settings, historyPath());
    ASSERT_EQ(loaded.size(), 1000);
    EXPECT_EQ(loaded.first().text, QStringLiteral("newest"));
    EXPECT_EQ(loaded.last(), many[998]);

    // Clearing leaves an empty array.
    ASSERT_TRUE(History::save({}, historyPath()));
    EXPECT_EQ(readBytes(historyPath()), "[]");
}

TEST_F(HistoryTest, ASaveThatCannotWriteSaysSoAndChangesNothing)
{
    const QList<HistoryEntry> entries = numbered(2);

    // A missing folder is made.
    ASSERT_TRUE(History::save(entries, historyPath()));

    // A file where the folder should be.
    const QString blocked = m_dir.filePath(QStringLiteral("blocker/Sayloom/History.json"));
    writeBytes(m_dir.filePath(QStringLiteral("blocker/Sayloom")), "not a folder");
    EXPECT_FALSE(History::save(entries, blocked));
    EXPECT_EQ(readBytes(m_dir.filePath(QStringLiteral("blocker/Sayloom"))), "not a folder");

    // A folder in place of the file: the write is refused.
    const QString folderInstead = m_dir.filePath(QStringLiteral("other/History.json"));
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    EXPECT_FALSE(History::save(entries, folderInstead));
    EXPECT_TRUE(QFileInfo(folderInstead).isDir());

    // A number JSON cannot hold: nothing is written over the good file.
    QList<HistoryEntry> broken = entries;
    broken[1].duration = std::nan("");
    EXPECT_FALSE(History::save(broken, historyPath()));
    EXPECT_EQ(History::load(m_settings, historyPath()), entries);
}

} // namespace
