#include "dictionary/DictionaryFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sayloom;

namespace {

struct Parsed {
    QString phrase;
    std::optional<QString> heardAs;
    friend bool operator==(const Parsed&, const Parsed&) = default;
};

std::vector<Parsed> contents(const QList<DictionaryEntry>& entries)
{
    std::vector<Parsed> result;
    for (const DictionaryEntry& entry : entries) {
        result.push_back({entry.phrase, entry.heardAs});
    }
    return result;
}

void PrintTo(const Parsed& parsed, std::ostream* out)
{
    *out << parsed.phrase.toStdString();
    if (parsed.heardAs) {
        *out << " <- " << parsed.heardAs->toStdString();
    }
}

struct LineCase {
    const char16_t* line;
    std::vector<Parsed> expected;
};

class DictionaryFileLine : public testing::TestWithParam<LineCase> {};

TEST_P(DictionaryFileLine, ParsesToItsEntry)
{
    EXPECT_EQ(contents(DictionaryFile::parse(QString::fromUtf16(GetParam().line))), GetParam().expected);
}

const QString claudeCode = QStringLiteral("Claude Code");
const QString cloudCode = QStringLiteral("cloud code");

INSTANTIATE_TEST_SUITE_P(
        Lines, DictionaryFileLine,
        testing::Values(LineCase{u"cloud code -> Claude Code", {{claudeCode, cloudCode}}},
                        LineCase{u"  Supabase  ", {{QStringLiteral("Supabase"), {}}}},
                        LineCase{u"\t\u00A0\u3000Supabase\u2003", {{QStringLiteral("Supabase"), {}}}},
                        LineCase{u"# Supabase", {}}, LineCase{u"#Supabase", {}}, LineCase{u"   # indented", {}},
                        LineCase{u"Supabase # product", {{QStringLiteral("Supabase # product"), {}}}},
                        LineCase{u"cloud code \u2192 Claude Code", {{claudeCode, cloudCode}}},
                        LineCase{u"cloud code => Claude Code", {{claudeCode, cloudCode}}},
                        LineCase{u"cloud code->Claude Code", {{claudeCode, cloudCode}}},
                        LineCase{u"x <- y", {{QStringLiteral("x <- y"), {}}}},
                        LineCase{u"a => b -> c", {{QStringLiteral("c"), QStringLiteral("a => b")}}},
                        LineCase{u"a -> b -> c", {{QStringLiteral("b -> c"), QStringLiteral("a")}}},
                        LineCase{u"a \u2192 b => c", {{QStringLiteral("b => c"), QStringLiteral("a")}}},
                        LineCase{u"-> Claude", {}}, LineCase{u"cloud ->", {}}, LineCase{u"->", {}},
                        LineCase{u"  \t ", {}}, LineCase{u"", {}}));

TEST(DictionaryFile, HeaderIsTheDocumentedNineLines)
{
    const QByteArray header = DictionaryFile::header().toUtf8();
    EXPECT_EQ(header.size(), 368);
    EXPECT_EQ(header.count('\n'), 9);
    EXPECT_TRUE(header.endsWith('\n'));
    EXPECT_TRUE(header.contains("#   A word or phrase to recognize:      Supabase\n"));
    EXPECT_TRUE(header.contains("#   A correction, heard -> written:     cloud code -> Claude Code\n"));
    EXPECT_TRUE(DictionaryFile::parse(DictionaryFile::header()).isEmpty());
}

TEST(DictionaryFile, SerializesHeaderThenOneLinePerEntry)
{
    EXPECT_EQ(DictionaryFile::serialize({}), DictionaryFile::header() + u"\n");
    const QList<DictionaryEntry> entries{DictionaryEntry(QStringLiteral("Supabase")),
                                         DictionaryEntry(claudeCode, cloudCode)};
    EXPECT_EQ(DictionaryFile::serialize(entries), DictionaryFile::header() + u"Supabase\ncloud code -> Claude Code\n");
}

TEST(DictionaryFile, EveryLineBreakEndsALineAndCrLfCountsOnce)
{
    const QString lf = QStringLiteral("one\ntwo\n\nthree -> 3\n");
    const auto expected = contents(DictionaryFile::parse(lf));
    ASSERT_EQ(expected.size(), 3u);
    for (const char16_t* text : {u"one\r\ntwo\r\n\r\nthree -> 3\r\n", u"one\rtwo\r\rthree -> 3\r",
                                 u"one\vtwo\fthree -> 3", u"one\u0085two\u2028three -> 3\u2029"}) {
        EXPECT_EQ(contents(DictionaryFile::parse(QString::fromUtf16(text))), expected)
                << QString::fromUtf16(text).toStdString();
    }
}

TEST(DictionaryFile, ByteOrderMarkAtTheStartIsIgnored)
{
    const auto parsed = contents(DictionaryFile::parse(u"\uFEFFSupabase\n\uFEFFNorva"));
    // Only the leading mark is a byte-order mark; elsewhere U+FEFF is text (and not a blank).
    EXPECT_EQ(parsed, (std::vector<Parsed>{{QStringLiteral("Supabase"), {}}, {QStringLiteral("\uFEFFNorva"), {}}}));
}

TEST(DictionaryFile, RoundTripKeepsPhrasesHeardFormsAndOrder)
{
    const QString text = QStringLiteral(
            "# mine\r\n  Supabase\r\nsuper base  =>  Supabase\n\n"
            "Next.js\ncloud code \u2192 Claude Code\nvelda->Velda\nx <- y\n\u00E9t\u00E9 -> \u00C9t\u00E9\n");
    const QList<DictionaryEntry> first = DictionaryFile::parse(text);
    const QString written = DictionaryFile::serialize(first);
    const QList<DictionaryEntry> second = DictionaryFile::parse(written);
    EXPECT_EQ(contents(first), contents(second));
    EXPECT_EQ(first.size(), 7);
    EXPECT_TRUE(written.contains(u"super base -> Supabase\n"));
    EXPECT_TRUE(written.contains(u"cloud code -> Claude Code\n"));
    // Ids identify entries within the process only: every parse makes new ones.
    EXPECT_NE(first.first().id, second.first().id);
    EXPECT_NE(first.first(), second.first());
}

TEST(DictionaryFile, ReadsOnlyWholeValidUtf8Files)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    EXPECT_EQ(DictionaryFile::readText(write(QStringLiteral("ok.txt"), "\xEF\xBB\xBF"
                                                                       "caf\xC3\xA9\n")),
              QStringLiteral("\uFEFFcaf\u00E9\n"));
    EXPECT_EQ(DictionaryFile::readText(write(QStringLiteral("latin1.txt"), "caf\xE9\n")), std::nullopt);
    EXPECT_EQ(DictionaryFile::readText(write(QStringLiteral("binary.bin"), QByteArray("\x00\xFF\xFE\x80", 4))),
              std::nullopt);
    EXPECT_EQ(DictionaryFile::readText(folder.filePath(QStringLiteral("missing.txt"))), std::nullopt);
    EXPECT_EQ(DictionaryFile::readText(folder.path()), std::nullopt);
}

TEST(DictionaryFile, HugeAndOddInputParses)
{
    QString longLine(100000, u'x');
    longLine += u" -> " + QString(100000, u'y');
    const auto entries = DictionaryFile::parse(longLine);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().phrase.size(), 100000);

    const QString odd = u"a" + QChar(0xD800) + u"b -> c\n" + QChar(0xDC00) + u"\n\U0001F600 -> smile\n";
    EXPECT_EQ(DictionaryFile::parse(odd).size(), 3);
}

} // namespace
