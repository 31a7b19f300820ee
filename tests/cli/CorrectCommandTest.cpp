#include "SayloomProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

// What the application writes at the top of every dictionary; comment lines only, although they mention both
// "Supabase" and "cloud code -> Claude Code".
const QByteArray header =
        QByteArrayLiteral("# Sayloom dictionary\n"
                          "#\n"
                          "# One entry per line. Edit here or in the app; changes show up in both.\n"
                          "#\n"
                          "#   A word or phrase to recognize:      Supabase\n"
                          "#   A correction, heard -> written:     cloud code -> Claude Code\n"
                          "#\n"
                          "# Corrections match whole words, ignore case, and also catch joined-up or\n"
                          "# hyphenated spellings: \"cloud code\" also matches \"CloudCode\" and \"cloud-code\".\n");

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

const QByteArray claudeCode = "cloud code -> Claude Code\n";

class CorrectCommandRun : public ::testing::Test {
protected:
    // Runs `--correct text` over `dictionary` (no file at all when absent) and checks the complete output.
    void expectOutput(const std::optional<QByteArray>& dictionary, const QString& text, const QString& expected)
    {
        QTemporaryDir dataHome;
        ASSERT_TRUE(dataHome.isValid()) << dataHome.errorString().toStdString();
        QFile file(dataHome.filePath(u"Sayloom/Dictionary.txt"_s));
        if (dictionary) {
            ASSERT_TRUE(QDir(dataHome.path()).mkpath(u"Sayloom"_s));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(*dictionary), dictionary->size());
            file.close();
        }

        const SayloomProcess::Result result = SayloomProcess::run({u"--correct"_s, text}, dataHome.path());
        ASSERT_TRUE(result.exitedNormally) << result.standardError.toStdString();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardError.toStdString(), "");
        const QByteArray wanted = expected.toUtf8();
        if (result.standardOutput.size() + wanted.size() < 4000) {
            EXPECT_EQ(result.standardOutput.toStdString(), wanted.toStdString());
        } else {
            // Huge outputs: where they part, not the whole text.
            const auto [actualEnd, wantedEnd] = std::ranges::mismatch(result.standardOutput, wanted);
            EXPECT_TRUE(result.standardOutput == wanted)
                    << "first difference at byte " << (actualEnd - result.standardOutput.begin()) << " of "
                    << result.standardOutput.size() << ", wanted " << wanted.size();
        }

        // Correcting only reads the dictionary; it must never create, rewrite or tidy the file.
        if (dictionary) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll() == *dictionary) << "the dictionary file changed";
        } else {
            EXPECT_FALSE(file.exists()) << "a dictionary file appeared";
        }
    }
};

struct CorrectRow {
    const char* name;
    std::optional<QByteArray> dictionary;
    QString text;
    QString expected;
};

void PrintTo(const CorrectRow& row, std::ostream* os)
{
    *os << row.name;
}

class CorrectCommand : public CorrectCommandRun, public ::testing::WithParamInterface<CorrectRow> {};

TEST_P(CorrectCommand, PrintsTheCorrectedTextAndEachChange)
{
    expectOutput(GetParam().dictionary, GetParam().text, GetParam().expected);
}

const CorrectRow correctRows[] = {
        // Where the dictionary comes from.
        {"NoDictionaryFile", std::nullopt, u"cloud code and supabase"_s, u"corrected: cloud code and supabase\n"_s},
        {"EmptyFile", QByteArray(""), u"cloud code"_s, u"corrected: cloud code\n"_s},
        {"EmptyText", claudeCode, u""_s, u"corrected: \n"_s},

        // The file format; the header's examples are comments, not entries.
        {"HeaderThenEntries", header + "ok -> OK\n", u"cloud code, CloudCode and supabase ok"_s,
         u"corrected: cloud code, CloudCode and supabase OK\n  ok -> OK\n"_s},
        {"CommentLines", "# cloud code -> Claude Code\n#Supabase\n  # indented -> Comment\n\t#Tabbed\nreal -> Real\n",
         u"# cloud code, #supabase, # indented, #tabbed, real"_s,
         u"corrected: # cloud code, #supabase, # indented, #tabbed, Real\n  real -> Real\n"_s},
        {"HashInsideLine", "Supabase # product\n", u"supabase # product and supabase"_s,
         u"corrected: Supabase # product and supabase\n  supabase # product -> Supabase # product\n"_s},
        {"ByteOrderMarkAndCrLf",
         "\xEF\xBB\xBF"
         "cloud code -> Claude Code\r\nsupa base -> Supabase\r\n",
         u"cloud code on supa base"_s,
         u"corrected: Claude Code on Supabase\n  cloud code -> Claude Code\n  supa base -> Supabase\n"_s},
        {"ExtraBlanksAroundSeparators",
         utf8(u"\n   \n  cloud code   ->   Claude Code  \n\t\t\n\tsupa base\t\u2192\tSupabase\t\n get hub  =>  GitHub \n"_s),
         u"cloud code supa base get hub"_s,
         u"corrected: Claude Code Supabase GitHub\n  cloud code -> Claude Code\n  supa base -> Supabase\n"
         u"  get hub -> GitHub\n"_s},
        {"HalfCorrectionsDropped", utf8(u"-> Xray\nYankee ->\n->\n  ->  \n\u2192 Zulu\nWhiskey =>\nok -> OK\n"_s),
         u"xray yankee zulu whiskey ok"_s, u"corrected: xray yankee zulu whiskey OK\n  ok -> OK\n"_s},

        // Not UTF-8: the whole file counts as empty, even its valid lines.
        {"InvalidByte", claudeCode + "\xFF\n", u"cloud code"_s, u"corrected: cloud code\n"_s},
        {"EncodedSurrogate", claudeCode + "\xED\xA0\x80\n", u"cloud code"_s, u"corrected: cloud code\n"_s},
        {"Latin1", claudeCode + "caf\xE9 -> Caf\xE9\n", u"cloud code"_s, u"corrected: cloud code\n"_s},
        // The heard text is printed as it was, line break and all.
        {"SpellingsThatMatch", claudeCode,
         u"CloudCode, cloud-code, cloud - code, CLOUD CODE, cloud   code, cloud\tcode, cloud\u00A0code, cloud\ncode, "
         u"cloud\r\ncode, cloud-\ncode"_s,
         u"corrected: Claude Code, Claude Code, Claude Code, Claude Code, Claude Code, Claude Code, Claude Code, "
         u"Claude Code, Claude Code, Claude Code\n  CloudCode -> Claude Code\n  cloud-code -> Claude Code\n"
         u"  cloud - code -> Claude Code\n  CLOUD CODE -> Claude Code\n  cloud   code -> Claude Code\n"
         u"  cloud\tcode -> Claude Code\n  cloud\u00A0code -> Claude Code\n  cloud\ncode -> Claude Code\n"
         u"  cloud\r\ncode -> Claude Code\n  cloud-\ncode -> Claude Code\n"_s},
        {"WholeWordsOnly", claudeCode,
         u"claude code's cloud code\u2019s 'cloud code' cloud codes, mycloud code, cloud code2, 3cloud code, "
         u"_cloud code_"_s,
         u"corrected: Claude Code's Claude Code\u2019s 'Claude Code' cloud codes, mycloud code, cloud code2, "
         u"3cloud code, _Claude Code_\n  claude code -> Claude Code\n  cloud code -> Claude Code\n"
         u"  cloud code -> Claude Code\n  cloud code -> Claude Code\n"_s},
        {"WordCapitalisation", "cloud code -> Claude Code\nSupabase\n",
         u"Claude Code, SUPABASE supabase Supabase SupaBase supa-base"_s,
         u"corrected: Claude Code, Supabase Supabase Supabase Supabase supa-base\n  SUPABASE -> Supabase\n"
         u"  supabase -> Supabase\n  SupaBase -> Supabase\n"_s},
        {"ShortWord", "ai -> AI\n", u"said ai, AI, Ai. rain ai-powered ai_x 4ai ai4"_s,
         u"corrected: said AI, AI, AI. rain AI-powered AI_x 4ai ai4\n  ai -> AI\n  Ai -> AI\n  ai -> AI\n"
         u"  ai -> AI\n"_s},
        {"RepeatedMatches", "supa base -> Supabase\n", u"supa base, SUPA BASE and supabase or Supabase"_s,
         u"corrected: Supabase, Supabase and Supabase or Supabase\n  supa base -> Supabase\n"
         u"  SUPA BASE -> Supabase\n  supabase -> Supabase\n"_s},
        {"AccentedLetters", utf8(u"cafe -> Caf\u00E9\n"_s), u"cafe \u00E9cafe cafe\u00E9 CAFE caf\u00E9 CAF\u00C9"_s,
         u"corrected: Caf\u00E9 \u00E9cafe cafe\u00E9 Caf\u00E9 Caf\u00E9 Caf\u00E9\n  cafe -> Caf\u00E9\n"
         u"  CAFE -> Caf\u00E9\n  caf\u00E9 -> Caf\u00E9\n  CAF\u00C9 -> Caf\u00E9\n"_s},
        {"RightToLeft", utf8(u"\u05E9\u05DC\u05D5\u05DD -> Shalom\nmarhaba -> \u0645\u0631\u062D\u0628\u0627\n"_s),
         u"\u05D0\u05DE\u05E8 \u05E9\u05DC\u05D5\u05DD. \u05D4\u05E9\u05DC\u05D5\u05DD Marhaba!"_s,
         u"corrected: \u05D0\u05DE\u05E8 Shalom. \u05D4\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627!\n"
         u"  \u05E9\u05DC\u05D5\u05DD -> Shalom\n  Marhaba -> \u0645\u0631\u062D\u0628\u0627\n"_s},

        // Overlapping matches.
        {"LongerMatchFirst", "code -> Kode\ncloud code -> Claude Code\n", u"cloud code and code"_s,
         u"corrected: Claude Code and Kode\n  cloud code -> Claude Code\n  code -> Kode\n"_s},
        {"LongerMatchFirstEvenWhenLater", "hot air -> Hot Air\nair balloon -> Air Balloon\n", u"hot air balloon"_s,
         u"corrected: hot Air Balloon\n  air balloon -> Air Balloon\n"_s},
        {"FirstDuplicateWins", "cloud code -> Claude Code\ncloud code -> Cloud Code\n", u"cloud code or Cloud Code"_s,
         u"corrected: Claude Code or Claude Code\n  cloud code -> Claude Code\n  Cloud Code -> Claude Code\n"_s},
        {"CorrectionsBeforeWords", "Supabase\nsupabase -> SupaBase\n", u"Supabase"_s,
         u"corrected: SupaBase\n  Supabase -> SupaBase\n"_s},
};

INSTANTIATE_TEST_SUITE_P(Rows, CorrectCommand, ::testing::ValuesIn(correctRows),
                         [](const ::testing::TestParamInfo<CorrectRow>& test) { return std::string(test.param.name); });

TEST_F(CorrectCommandRun, LineOfOneHundredThousandCharacters)
{
    // A phrase this long is past what the expression engine compiles: it forms no rule, quietly, and every other
    // entry still works.
    const QString word = u"L"_s + QString(99'999, u'o');
    const QString heard = word.toLower();
    expectOutput(utf8(word + u"\nok -> OK\n"_s), heard + u" ok"_s, u"corrected: "_s + heard + u" OK\n  ok -> OK\n"_s);
}

// The correction sits after ten megabytes of other entries, so the whole file must be read and used.
TEST_F(CorrectCommandRun, TenMegabyteDictionary)
{
    QByteArray dictionary;
    int entries = 0;
    while (dictionary.size() < 10 * 1024 * 1024) {
        const QByteArray number = QByteArray::number(entries).rightJustified(7, '0');
        dictionary += "zq" + number + " -> Zq" + number + '\n';
        ++entries;
    }
    dictionary += claudeCode;
    const QString last = QString::number(entries - 1).rightJustified(7, u'0');
    expectOutput(dictionary, u"zq0000007 then cloud code then zq"_s + last,
                 u"corrected: Zq0000007 then Claude Code then Zq"_s + last + u"\n  zq0000007 -> Zq0000007\n"_s +
                         u"  cloud code -> Claude Code\n  zq"_s + last + u" -> Zq"_s + last + u"\n"_s);
}

} // namespace
} // namespace sayloom
