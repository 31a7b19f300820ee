#include "dictionary/DictionaryFile.h"

#include "support/Printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

// Each entry as "heard|phrase", or the phrase alone for a word.
QStringList described(QStringView text)
{
    QStringList result;
    for (const DictionaryEntry& entry : DictionaryFile::parse(text)) {
        result.append(entry.heardAs ? *entry.heardAs + u'|' + entry.phrase : entry.phrase);
    }
    return result;
}

struct LineCase {
    const char16_t* line;
    // Empty when the line holds no entry.
    const char16_t* entry;
};

class DictionaryFileLine : public testing::TestWithParam<LineCase> {};

TEST_P(DictionaryFileLine, ParsesToItsEntry)
{
    const QString entry = QString::fromUtf16(GetParam().entry);
    EXPECT_EQ(described(QString::fromUtf16(GetParam().line)), entry.isEmpty() ? QStringList() : QStringList{entry});
}

INSTANTIATE_TEST_SUITE_P(Lines, DictionaryFileLine,
                         testing::Values(LineCase{u"cloud code -> Claude Code", u"cloud code|Claude Code"},
                                         LineCase{u"\t\u00A0\u3000Supabase\u2003  ", u"Supabase"},
                                         LineCase{u"# Supabase", u""}, LineCase{u"   # indented", u""},
                                         LineCase{u"Supabase # product", u"Supabase # product"},
                                         LineCase{u"cloud code \u2192 Claude Code", u"cloud code|Claude Code"},
                                         LineCase{u"cloud code\u2192Claude Code", u"cloud code|Claude Code"},
                                         LineCase{u"cloud code => Claude Code", u"cloud code|Claude Code"},
                                         LineCase{u"cloud code->Claude Code", u"cloud code|Claude Code"},
                                         LineCase{u"x <- y", u"x <- y"}, LineCase{u"a => b -> c", u"a => b|c"},
                                         LineCase{u"a -> b -> c", u"a|b -> c"},
                                         LineCase{u"a \u2192 b => c", u"a|b => c"}, LineCase{u"-> Claude", u""},
                                         LineCase{u"cloud ->", u""}, LineCase{u"  \t ", u""}));

TEST(DictionaryFile, SerializesTheCommentHeaderThenOneLinePerEntry)
{
    const QString& header = DictionaryFile::header();
    EXPECT_EQ(header.count(u'\n'), 9);
    EXPECT_TRUE(header.endsWith(u'\n'));
    EXPECT_TRUE(DictionaryFile::parse(header).isEmpty());
    EXPECT_EQ(DictionaryFile::serialize({}), header + u"\n");
    const QList<DictionaryEntry> entries{DictionaryEntry(u"Supabase"_s),
                                         DictionaryEntry(u"Claude Code"_s, u"cloud code"_s)};
    EXPECT_EQ(DictionaryFile::serialize(entries), header + u"Supabase\ncloud code -> Claude Code\n");
    // Read back, the same entries with new ids: ids identify entries within the process only.
    const QList<DictionaryEntry> reread = DictionaryFile::parse(DictionaryFile::serialize(entries));
    EXPECT_EQ(described(DictionaryFile::serialize(reread)), (QStringList{u"Supabase"_s, u"cloud code|Claude Code"_s}));
    EXPECT_NE(reread.first().id, entries.first().id);
}

TEST(DictionaryFile, EveryLineBreakEndsALineAndOnlyTheFirstByteOrderMarkIsSkipped)
{
    const QStringList expected{u"one"_s, u"two"_s, u"three|3"_s};
    for (const char16_t* text :
         {u"one\ntwo\n\nthree -> 3\n", u"one\r\ntwo\r\n\r\nthree -> 3\r\n", u"one\rtwo\r\rthree -> 3\r",
          u"one\vtwo\fthree -> 3", u"one\u0085two\u2028three -> 3\u2029"}) {
        EXPECT_EQ(described(QString::fromUtf16(text)), expected) << QString::fromUtf16(text).toStdString();
    }
    // Elsewhere U+FEFF is text (and not a blank), and so are lone surrogates.
    EXPECT_EQ(described(u"\uFEFFSupabase\n\uFEFFNorva"), (QStringList{u"Supabase"_s, u"\uFEFFNorva"_s}));
    EXPECT_EQ(
            described(QString(u"a" + QChar(0xD800) + u"b -> c\n" + QChar(0xDC00) + u"\n\U0001F600 -> smile\n")).size(),
            3);
}

TEST(DictionaryFile, ReadsOnlyWholeValidUtf8Files)
{
    QTemporaryDir folder;
    const auto write = [&](const QByteArray& bytes) {
        QFile file(folder.filePath(u"file.txt"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return file.fileName();
    };
    EXPECT_EQ(DictionaryFile::readText(write("\xEF\xBB\xBF"
                                             "caf\xC3\xA9\n")),
              u"\uFEFFcaf\u00E9\n"_s);
    const QByteArray large = QByteArray(3 << 20, 'x') + "\nend\n";
    EXPECT_EQ(DictionaryFile::readText(write(large)).value_or(QString()).size(), large.size());
    for (const QByteArray& bad : {QByteArray("caf\xE9\n"), QByteArray("\xED\xA0\x80\n"), QByteArray("\x00\xFF", 2)}) {
        EXPECT_EQ(DictionaryFile::readText(write(bad)), std::nullopt) << bad.toHex().data();
    }
    EXPECT_EQ(DictionaryFile::readText(folder.filePath(u"missing.txt"_s)), std::nullopt);
    EXPECT_EQ(DictionaryFile::readText(folder.path()), std::nullopt);
}

} // namespace
