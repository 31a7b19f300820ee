#include "ui/DictionaryRules.h"

#include "dictionary/DictionaryFile.h"
#include "ui/DictionaryRowPainter.h"

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using Kind = DictionaryEntry::Kind;

TEST(DictionaryRules, ResultsAreNewestFirstAndFindTheTrimmedQueryInEitherField)
{
    const QList<DictionaryEntry> entries{
            DictionaryEntry(u"Supabase"_s), DictionaryEntry(u"Claude Code"_s, u"cloud code"_s),
            DictionaryEntry(u"Claude Code"_s), DictionaryEntry(u"Norva"_s, u"the"_s), DictionaryEntry(u"\u0130zmir"_s)};
    const auto shown = [&](const QString& query, const QLocale& locale = QLocale(QLocale::English)) {
        QStringList rows;
        for (const DictionaryEntry& entry : DictionaryRules::results(entries, query, locale)) {
            rows.append(DictionaryRowPainter::mainText(entry));
        }
        return rows;
    };
    const QStringList all{u"\u0130zmir"_s, u"the \u2192 Norva"_s, u"Claude Code"_s, u"cloud code \u2192 Claude Code"_s,
                          u"Supabase"_s};
    EXPECT_EQ(shown(QString()), all);
    EXPECT_EQ(shown(u"  "_s), all);
    EXPECT_EQ(shown(u"CODE"_s), (QStringList{u"Claude Code"_s, u"cloud code \u2192 Claude Code"_s}));
    EXPECT_EQ(shown(u" THE\t"_s), QStringList{u"the \u2192 Norva"_s});
    EXPECT_EQ(shown(u"pab"_s), QStringList{u"Supabase"_s});
    EXPECT_EQ(shown(u"\u2192"_s), QStringList());
    // Case is folded under the user's locale: the dotted capital I is a plain i only in Turkish.
    EXPECT_EQ(shown(u"izmir"_s), QStringList());
    EXPECT_EQ(shown(u"izmir"_s, QLocale(QLocale::Turkish)), QStringList{u"\u0130zmir"_s});
}

// What the sheet makes of its fields, and whether the file could keep it. Every entry allowed comes back from the
// file as it went in; every entry refused would not.
TEST(DictionaryRules, DraftTrimsAndRefusesWhatTheFileCannotKeep)
{
    struct Case {
        Kind kind;
        QString phrase;
        QString heard;
        // The draft's phrase and heard form; absent for no draft.
        std::optional<std::pair<QString, std::optional<QString>>> draft;
        bool refused = false;
    };
    using Made = std::pair<QString, std::optional<QString>>;
    const QString lone = u"ab"_s + QChar(0xD800);
    const Case cases[] = {
            {Kind::word, u"  Supabase \t"_s, {}, Made{u"Supabase"_s, std::nullopt}},
            {Kind::word, u" \u3000 "_s, {}, std::nullopt},
            {Kind::correction, u"Claude Code"_s, u"  "_s, std::nullopt},
            {Kind::correction, u"  "_s, u"cloud code"_s, std::nullopt},
            {Kind::word, u"Claude Code"_s, u"cloud code"_s, Made{u"Claude Code"_s, std::nullopt}},
            {Kind::correction, u" Claude Code "_s, u"\tcloud code "_s, Made{u"Claude Code"_s, u"cloud code"_s}},
            // A word read back as a comment or as a correction.
            {Kind::word, u" #hashtag"_s, {}, Made{u"#hashtag"_s, std::nullopt}, true},
            {Kind::word, u"C#"_s, {}, Made{u"C#"_s, std::nullopt}},
            {Kind::word, u"a -> b"_s, {}, Made{u"a -> b"_s, std::nullopt}, true},
            {Kind::word, u"a\u2192b"_s, {}, Made{u"a\u2192b"_s, std::nullopt}, true},
            {Kind::word, u"a => b"_s, {}, Made{u"a => b"_s, std::nullopt}, true},
            {Kind::word, u"fine"_s, u"#not used -> at all\n"_s, Made{u"fine"_s, std::nullopt}},
            // A correction's line starts with its heard form and splits at the first "->".
            {Kind::correction, u"Tag"_s, u"#tag"_s, Made{u"Tag"_s, u"#tag"_s}, true},
            {Kind::correction, u"#1 fan"_s, u"number one fan"_s, Made{u"#1 fan"_s, u"number one fan"_s}},
            {Kind::correction, u"c"_s, u"a -> b"_s, Made{u"c"_s, u"a -> b"_s}, true},
            {Kind::correction, u"b -> c => d"_s, u"a \u2192 b => c"_s, Made{u"b -> c => d"_s, u"a \u2192 b => c"_s}},
            // Anything that would become several lines, or can't be written as UTF-8.
            {Kind::word, u"line\nbreak"_s, {}, Made{u"line\nbreak"_s, std::nullopt}, true},
            {Kind::correction, u"x"_s, u"a\u2028b"_s, Made{u"x"_s, u"a\u2028b"_s}, true},
            {Kind::correction, u"x\ry"_s, u"a"_s, Made{u"x\ry"_s, u"a"_s}, true},
            {Kind::word, lone, {}, Made{lone, std::nullopt}, true},
    };
    for (const Case& test : cases) {
        const DictionaryFields fields{test.kind, test.phrase, test.heard};
        SCOPED_TRACE(test.phrase.toStdString() + " / " + test.heard.toStdString());
        const std::optional<DictionaryEntry> draft = DictionaryRules::draft(fields);
        ASSERT_EQ(draft.has_value(), test.draft.has_value());
        const std::optional<QString> refusal = DictionaryRules::refusal(fields);
        EXPECT_EQ(refusal.has_value(), test.refused) << refusal.value_or(QString()).toStdString();
        if (!draft) {
            continue;
        }
        EXPECT_EQ(Made(draft->phrase, draft->heardAs), *test.draft);
        const QList<DictionaryEntry> back =
                DictionaryFile::parse(QString::fromUtf8(DictionaryFile::serialize({*draft}).toUtf8()));
        const bool kept = back.size() == 1 && back[0].phrase == draft->phrase && back[0].heardAs == draft->heardAs;
        EXPECT_EQ(kept, !test.refused);
    }

    // An existing entry keeps its id; a new one gets a fresh one.
    const DictionaryEntry existing(u"Supabse"_s);
    const DictionaryFields fixed{Kind::word, u"Supabase"_s, {}};
    EXPECT_EQ(DictionaryRules::draft(fixed, existing)->id, existing.id);
    EXPECT_NE(DictionaryRules::draft(fixed)->id, existing.id);
    EXPECT_EQ(DictionaryRules::refusal({Kind::word, u"#x"_s, {}}),
              u"A word can't start with \u201C#\u201D: the dictionary file reads that line as a comment."_s);
}

} // namespace
} // namespace sayloom
