#include "ui/HistoryFilter.h"
#include "ui/HistoryGrouping.h"
#include "ui/HistoryRowText.h"
#include "ui/ScreenTexts.h"

#include <cmath>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using Range = HistoryRowText::Range;

HistoryEntry entry(const QString& text, const QString& raw = {}, std::optional<QString> appName = std::nullopt)
{
    HistoryEntry made;
    made.text = text;
    made.raw = raw;
    made.appName = std::move(appName);
    return made;
}

TEST(HistoryFilter, FindsTheTrimmedQueryInTextRawOrAppUnderTheLocale)
{
    const QList<HistoryEntry> history{entry(u"Ship the Release"_s, u"ship the release"_s, u"Slack"_s),
                                      entry(u"Hello"_s, u"yellow"_s), entry(u"Straße"_s, {}, u"Mail"_s),
                                      entry(u"abc"_s, u"def"_s), entry(u"İstanbul"_s)};
    const auto shown = [&](const QString& query, const QLocale& locale = QLocale(QLocale::English)) {
        const HistoryFilter filter(query, locale);
        QList<int> rows;
        for (int row = 0; row < history.size(); ++row) {
            EXPECT_EQ(filter.matches(history[row]), filter.matchesFolded(HistoryFilter::folded(history[row], locale)));
            if (filter.matches(history[row])) {
                rows.append(row);
            }
        }
        return rows;
    };
    EXPECT_EQ(shown(u""_s), QList<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(shown(u" \t \n"_s), QList<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(shown(u"  RELEASE "_s), QList<int>({0}));
    EXPECT_EQ(shown(u"slack"_s), QList<int>({0}));
    EXPECT_EQ(shown(u"YELLOW"_s), QList<int>({1}));
    EXPECT_EQ(shown(u"mail"_s), QList<int>({2}));
    EXPECT_EQ(shown(u"STRASSE"_s), QList<int>());
    // A match never spans two fields.
    EXPECT_EQ(shown(u"c d"_s), QList<int>());
    EXPECT_EQ(shown(u"c\uffffd"_s), QList<int>());
    // The dotted capital I lower-cases to a plain i only in Turkish.
    EXPECT_EQ(shown(u"istanbul"_s), QList<int>());
    EXPECT_EQ(shown(u"istanbul"_s, QLocale(QLocale::Turkish)), QList<int>({4}));
    EXPECT_EQ(HistoryFilter(u"  Hi there "_s).query(), u"Hi there"_s);
}

TEST(HistoryGrouping, GroupsByLocalDayNewestFirstAcrossMidnightAndAClockChange)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto at = [&](int day, int hour, int minute) {
        return QDateTime(QDate(2026, 3, day), QTime(hour, minute), berlin);
    };
    // The clocks go forward in the night to 29 March; the first entry is 23:30 of the 28th in UTC.
    QList<HistoryEntry> history;
    for (const QDateTime& date : {at(29, 0, 30), at(27, 12, 0), at(28, 23, 30), at(29, 9, 0), at(20, 8, 0)}) {
        history.append(entry(u"x"_s));
        history.last().date = date.toUTC();
    }
    const QList<HistoryGrouping::Group> groups =
            HistoryGrouping::group(history, {0, 1, 2, 3, 4}, at(29, 23, 59), berlin, english);
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups[0], (HistoryGrouping::Group{QDate(2026, 3, 29), u"Today"_s, {0, 3}}));
    EXPECT_EQ(groups[1], (HistoryGrouping::Group{QDate(2026, 3, 28), u"Yesterday"_s, {2}}));
    EXPECT_EQ(groups[2], (HistoryGrouping::Group{QDate(2026, 3, 27), u"Friday, March 27"_s, {1}}));
    EXPECT_EQ(groups[3].title, u"Friday, March 20"_s);
    // A minute later the same entries are a day older; filtered-out rows are not grouped.
    const QList<HistoryGrouping::Group> later =
            HistoryGrouping::group(history, {2, 3}, at(29, 23, 59).addSecs(60), berlin, english);
    ASSERT_EQ(later.size(), 2);
    EXPECT_EQ(later[0].title, u"Yesterday"_s);
    EXPECT_EQ(later[1].title, u"Saturday, March 28"_s);

    EXPECT_EQ(HistoryGrouping::dayFormat(english), u"dddd, MMMM d"_s);
    EXPECT_EQ(HistoryGrouping::dayFormat(QLocale(QLocale::German, QLocale::Germany)), u"dddd, d. MMMM"_s);
    EXPECT_EQ(HistoryGrouping::dayFormat(QLocale(QLocale::Spanish, QLocale::Spain)), u"dddd, d 'de' MMMM"_s);
    for (const QLocale& locale : {QLocale(QLocale::Japanese), QLocale(QLocale::Chinese), QLocale(QLocale::French)}) {
        EXPECT_FALSE(HistoryGrouping::dayFormat(locale).contains(u'y')) << locale.name().toStdString();
    }
}

TEST(HistoryRowText, UnderlinesEachSoundCorrectionAndSkipsTheRest)
{
    const QString sample =
            u"Can you set up Claude Code on the new repo and point it at the Supabase staging project?"_s;
    const qsizetype claude = sample.indexOf(u"Claude Code"_s), supabase = sample.indexOf(u"Supabase"_s);
    // Out of order, overlapping, past the end, before the start, empty and absurdly large corrections.
    const QList<AppliedCorrection> corrections{{u"super base"_s, u"Supabase"_s, supabase, 8},
                                               {u"CloudCode"_s, u"Claude Code"_s, claude, 11},
                                               {u"code on"_s, u"Code on"_s, claude + 7, 7},
                                               {u"far"_s, u"far"_s, sample.size() - 2, 3},
                                               {u"neg"_s, u"neg"_s, -1, 3},
                                               {u"none"_s, u""_s, 3, 0},
                                               {u"huge"_s, u"huge"_s, 5, std::numeric_limits<qint64>::max()}};
    EXPECT_EQ(HistoryRowText::underlines(sample, corrections), (QList<Range>{{claude, 11}, {supabase, 8}}));
    EXPECT_EQ(HistoryRowText::underlines(sample, std::nullopt), QList<Range>());

    // Positions count UTF-16 code units: the emoji takes two.
    const QString emoji = u"😀 Zoë met Anthropic"_s;
    const QList<Range> marks =
            HistoryRowText::underlines(emoji, QList<AppliedCorrection>{{u"x"_s, u"Anthropic"_s, 11, 9}});
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(emoji.mid(marks[0].start, marks[0].length), u"Anthropic"_s);
    EXPECT_TRUE(HistoryRowText::underlines(emoji, QList<AppliedCorrection>{{u"x"_s, u"y"_s, 12, 9}}).isEmpty());

    EXPECT_EQ(HistoryRowText::highlights(u"The cat and the hat, then"_s, u" the "_s),
              (QList<Range>{{0, 3}, {12, 3}, {21, 3}}));
    EXPECT_EQ(HistoryRowText::highlights(u"aaaa"_s, u"aa"_s), (QList<Range>{{0, 2}, {2, 2}}));
    EXPECT_TRUE(HistoryRowText::highlights(u"text"_s, u"  "_s).isEmpty());
}

TEST(HistoryRowText, MetaLineShowsOnlyThePartsThereAre)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QTimeZone utc = QTimeZone::utc();
    HistoryEntry full = entry(u"Can you set up Claude Code on the new repo?"_s, u"raw"_s, u"Slack"_s);
    full.date = QDateTime(QDate(2026, 5, 1), QTime(15, 4, 59), utc);
    full.duration = 7.4;
    full.corrections = QList<AppliedCorrection>{{u"a"_s, u"b"_s, 0, 1}, {u"c"_s, u"d"_s, 2, 1}};
    const QString time = english.toString(QTime(15, 4), QLocale::ShortFormat);
    EXPECT_TRUE(time.startsWith(u"3:04"_s) && time.endsWith(u"PM"_s)) << time.toStdString();
    EXPECT_EQ(HistoryRowText::metaLine(full, utc, english), time + u" · Slack · 10 words · 0:07 · 2 corrected"_s);

    HistoryEntry bare = full;
    bare.appName.reset(), bare.duration.reset(), bare.corrections = QList<AppliedCorrection>();
    bare.text = u"  two\nwords "_s;
    EXPECT_EQ(HistoryRowText::metaLine(bare, utc, english), time + u" · 2 words"_s);
    bare.corrections.reset(), bare.duration = std::nan("");
    EXPECT_EQ(HistoryRowText::metaLine(bare, utc, english), time + u" · 2 words"_s);

    EXPECT_EQ(HistoryRowText::durationText(0), u"0:00"_s);
    EXPECT_EQ(HistoryRowText::durationText(65.5), u"1:06"_s);
    EXPECT_EQ(HistoryRowText::durationText(-1), std::nullopt);
}

TEST(ScreenTexts, StatusBySessionPhase)
{
    using Phase = AppState::Phase;
    const struct {
        Phase phase;
        bool locked;
        const char16_t* sidebar;
        const char16_t* recorder;
        const char16_t* symbol;
        const char16_t* button;
    } rows[] = {
            {Phase::idle(), false, u"Ready", u"Ready", u"checkmark.circle.fill", u"Start recording"},
            {Phase::recording(), false, u"Recording", u"Recording", u"record.circle.fill", u"Stop recording"},
            {Phase::recording(), true, u"Recording", u"Recording · hands-free", u"record.circle.fill",
             u"Stop recording"},
            {Phase::transcribing(), false, u"Transcribing", u"Transcribing…", u"ellipsis.circle.fill",
             u"Start recording"},
            {Phase::error(u"Mic failed: gone"_s), false, u"Something went wrong", u"Mic failed: gone",
             u"exclamationmark.triangle.fill", u"Start recording"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ScreenTexts::sidebarStatus(row.phase, true, true), QString::fromUtf16(row.sidebar));
        EXPECT_EQ(ScreenTexts::recorderStatus(row.phase, row.locked), QString::fromUtf16(row.recorder));
        EXPECT_EQ(ScreenTexts::recorderSymbol(row.phase), QString::fromUtf16(row.symbol));
        EXPECT_EQ(ScreenTexts::recordButtonTitle(row.phase), QString::fromUtf16(row.button));
    }
    EXPECT_EQ(ScreenTexts::sidebarStatus(Phase::idle(), true, false), u"Needs permissions"_s);
    EXPECT_EQ(ScreenTexts::sidebarStatus(Phase::idle(), false, true), u"Needs permissions"_s);
    EXPECT_EQ(ScreenTexts::sidebarStatus(Phase::recording(), false, false), u"Recording"_s);
    EXPECT_EQ(ScreenTexts::dictateHint(Trigger::rightControl),
              u"Hold Right Ctrl anywhere to dictate. Double-tap to keep recording, Esc to cancel."_s);
}

} // namespace
} // namespace sayloom
