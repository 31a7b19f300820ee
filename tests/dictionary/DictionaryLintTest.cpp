#include "dictionary/DictionaryLint.h"

#include "base/UnicodeText.h"
#include "dictionary/EnglishWords.h"
#include "support/Printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

const QSet<QString> wordList{u"cloud"_s, u"anyone"_s, u"code"_s, u"base"_s};

QStringList lint(const DictionaryEntry& entry, const QList<DictionaryEntry>& entries = {})
{
    return DictionaryLint::warnings(entry, entries, wordList);
}

DictionaryEntry correction(const QString& heard, const QString& written)
{
    return DictionaryEntry(written, heard);
}

TEST(DictionaryLint, WarnsAboutCommonAndOrdinaryWordsWithExactTexts)
{
    EXPECT_EQ(
            lint(correction(u"the"_s, u"Norva"_s)),
            QStringList{
                    u"\u201Cthe\u201D is one of the most common English words. This would change it in almost every take."_s});
    EXPECT_EQ(lint(correction(u"cloud"_s, u"Claude"_s)),
              QStringList{u"\u201Ccloud\u201D is an ordinary word, so every \u201Ccloud\u201D you say will become "
                          u"\u201CClaude\u201D. A longer phrase is safer."_s});
    EXPECT_TRUE(DictionaryLint::warnings(correction(u"cloud"_s, u"Claude"_s), {}, {}).isEmpty());
    EXPECT_EQ(
            lint(correction(u"any one"_s, u"Anyone Inc"_s)),
            (QStringList{
                    u"\u201Cany one\u201D is an everyday phrase. It will be rewritten wherever you say it."_s,
                    u"Also matches the ordinary word \u201Canyone\u201D, because joined-up spellings are caught too."_s}));
    EXPECT_EQ(
            lint(DictionaryEntry(u"Will"_s)),
            QStringList{
                    u"\u201Cwill\u201D is a common word. Every \u201Cwill\u201D will be written as \u201CWill\u201D."_s});
    EXPECT_TRUE(lint(DictionaryEntry(u"will"_s)).isEmpty());
    // Only capitalisation changes: the common-word checks are skipped.
    EXPECT_TRUE(lint(correction(u"github"_s, u"GitHub"_s)).isEmpty());
    // A hyphenated heard form is split like the corrector splits it.
    EXPECT_EQ(lint(correction(u"the-the"_s, u"The The"_s)).first(),
              u"\u201Cthe the\u201D is an everyday phrase. It will be rewritten wherever you say it."_s);
    // Joined-up spellings are looked up in the common words too.
    EXPECT_EQ(
            lint(DictionaryEntry(u"In To"_s)),
            QStringList{
                    u"Also matches the ordinary word \u201Cinto\u201D, because joined-up spellings are caught too."_s});
}

TEST(DictionaryLint, ShortEntriesCountLettersOfAnyScript)
{
    const QString shortWarning =
            u"Very short entries match often. Check this doesn't catch initials or abbreviations."_s;
    EXPECT_EQ(lint(DictionaryEntry(u"AI"_s)), QStringList{shortWarning});
    EXPECT_EQ(lint(DictionaryEntry(u"C3"_s)), QStringList{shortWarning});
    EXPECT_EQ(lint(DictionaryEntry(u"4 2 1 0"_s)), QStringList{shortWarning});
    EXPECT_TRUE(lint(DictionaryEntry(u"\u6771\u4EAC\u90FD"_s)).isEmpty());
    EXPECT_TRUE(lint(DictionaryEntry(u"\U0001D400\U0001D401\U0001D402"_s)).isEmpty()) << "non-BMP letters count once";
    // Nothing to listen for, nothing to warn about.
    EXPECT_TRUE(lint(DictionaryEntry(u"-"_s)).isEmpty());
    EXPECT_TRUE(lint(DictionaryEntry(u""_s)).isEmpty());
}

TEST(DictionaryLint, DuplicatesAreWholeHeardTextsOfOtherEntries)
{
    const DictionaryEntry upper(u"Supabase"_s);
    const DictionaryEntry lower(u"supabase"_s);
    const QList<DictionaryEntry> both{upper, lower};
    EXPECT_EQ(lint(upper, both), QStringList{u"Another entry already listens for \u201CSupabase\u201D."_s});
    EXPECT_EQ(lint(lower, both), QStringList{u"Another entry already listens for \u201Csupabase\u201D."_s});
    EXPECT_TRUE(lint(upper, {upper}).isEmpty());
    // The corrector would give these the same rule key, but the lint compares whole heard texts.
    const auto hyphen = correction(u"cloud-code"_s, u"Claude Code"_s);
    const auto spaced = correction(u"cloud code"_s, u"Claude Code"_s);
    EXPECT_TRUE(lint(hyphen, {hyphen, spaced}).isEmpty());
    // A correction listens for its heard form, a word for its phrase.
    EXPECT_EQ(lint(correction(u"Velda"_s, u"VELDA"_s), {DictionaryEntry(u"velda"_s)}).size(), 1);
}

TEST(DictionaryLint, AnIndexGivesThePlainCheckWarningsForListedAndEditedEntries)
{
    const DictionaryEntry supabase(u"Supabase"_s);
    const QList<DictionaryEntry> entries{supabase,
                                         DictionaryEntry(u"supabase"_s),
                                         correction(u"the"_s, u"Norva"_s),
                                         correction(u"THE"_s, u"Th\u00E9"_s),
                                         correction(u"cloud code"_s, u"Claude Code"_s),
                                         DictionaryEntry(u"Claude Code"_s),
                                         DictionaryEntry(u"AI"_s),
                                         DictionaryEntry(u"Will"_s)};
    // An entry in the editor: one that keeps the id of the entry it changes, and a new one.
    const DictionaryEntry edited(u"SUPABASE"_s, std::nullopt, supabase.id);
    const DictionaryEntry added(u"cloud code"_s);
    const DictionaryLint::Index index(entries);
    int duplicates = 0;
    for (const DictionaryEntry& entry : entries + QList<DictionaryEntry>{edited, added}) {
        const QStringList plain = lint(entry, entries);
        EXPECT_EQ(DictionaryLint::warnings(entry, index, wordList), plain) << entry.phrase.toStdString();
        duplicates += int(plain.filter(u"Another entry"_s).size());
    }
    EXPECT_EQ(duplicates, 6);
    EXPECT_TRUE(DictionaryLint::warnings(edited, DictionaryLint::Index({supabase}), wordList).isEmpty());
}

TEST(DictionaryLint, DuplicateCheckLowerCasesLikeQString)
{
    // The allocation-free comparison must agree with QString::toLower for every code point.
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        const QString text = u"a"_s + QString::fromUcs4(&c, 1) + u"B"_s;
        ASSERT_TRUE(UnicodeText::lowerCasedEquals(text, text.toLower())) << uint32_t(c);
        ASSERT_FALSE(UnicodeText::lowerCasedEquals(text, QString(text.toLower() + u"b"_s))) << uint32_t(c);
    }
    EXPECT_TRUE(UnicodeText::lowerCasedEquals(u"\u0130stanbul"_s, u"i\u0307stanbul"_s));
    EXPECT_FALSE(UnicodeText::lowerCasedEquals(u"\u0130stanbul"_s, u"istanbul"_s));
    EXPECT_FALSE(UnicodeText::lowerCasedEquals(u"Velda"_s, u"veld"_s));
    EXPECT_TRUE(UnicodeText::lowerCasedEquals(u""_s, u""_s));
}

TEST(DictionaryLint, WordListLoadsLowerCasedFromAnyLineEnding)
{
    QTemporaryDir folder;
    const auto write = [&](const QByteArray& bytes) {
        QFile file(folder.filePath(u"words"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return file.fileName();
    };
    EXPECT_EQ(EnglishWords::load(write("Cloud\r\nanyone\n\n\xC3\x89t\xC3\xA9\rzebra")),
              (QSet<QString>{u"cloud"_s, u"anyone"_s, u"\u00E9t\u00E9"_s, u"zebra"_s}));
    EXPECT_TRUE(EnglishWords::load(folder.filePath(u"missing"_s)).isEmpty());
}

} // namespace
