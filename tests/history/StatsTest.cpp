#include "history/Stats.h"

#include "support/Printers.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

const QTimeZone berlin(QByteArrayLiteral("Europe/Berlin"));

QDateTime inBerlin(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), berlin);
}

HistoryEntry made(const QDateTime& date, int words = 1, std::optional<double> duration = {}, int corrections = 0)
{
    HistoryEntry entry;
    entry.text = QStringList(words, u"w"_s).join(u' ');
    entry.date = date;
    entry.duration = duration;
    if (corrections > 0) {
        entry.corrections = QList<AppliedCorrection>(corrections);
    }
    return entry;
}

TEST(Stats, WordsAreRunsOfNonWhiteSpace)
{
    const std::pair<const char16_t*, qint64> rows[] = {
            {u"", 0},
            {u" \t\n ", 0},
            {u"  Hello,  world\nagain ", 3},
            {u"no\u00A0break\u2003em\u3000ideographic\u2028line\u0085next", 6},
            {u"a\r\nb\tc\vd\fe", 5},
            {u"🎙️ emoji, and — dash", 5},
            {u"日本語のテキスト", 1}};
    for (const auto& [text, words] : rows) {
        EXPECT_EQ(Stats::wordCount(QStringView(text)), words) << QString::fromUtf16(text).toStdString();
    }
}

TEST(Stats, SpeedAveragesEveryTimedEntryRoundedHalfAwayFromZero)
{
    struct Row {
        std::vector<std::pair<int, std::optional<double>>> takes; // words, seconds
        const char16_t* text;
    };
    const Row rows[] = {{{{30, 20.0}}, u"90 wpm"},
                        {{{1, 40.0}}, u"2 wpm"},
                        {{{1, 120.0}}, u"1 wpm"},
                        {{{0, 30.0}}, u"0 wpm"},
                        {{{2500, 60.0}}, u"2500 wpm"},
                        {{{5, std::nullopt}, {5, 0.0}, {5, -3.0}}, u"\u2014"},
                        {{{30, 20.0}, {50, std::nullopt}, {30, 40.0}, {7, 0.0}}, u"60 wpm"}};
    const QDateTime now = inBerlin(6, 10, 12);
    for (const Row& row : rows) {
        QList<HistoryEntry> history;
        for (const auto& [words, seconds] : row.takes) {
            // A day older each: the whole history counts, not only today.
            history.append(made(now.addDays(-history.size()), words, seconds));
        }
        EXPECT_EQ(Stats(history, now, berlin).averageSpeedText(), QString::fromUtf16(row.text));
    }
}

TEST(Stats, TilesShowTheirLabelsAndTheLocalesDigitGrouping)
{
    const QDateTime now = inBerlin(6, 1, 12);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QList<Stats::Tile> empty = Stats({}, now, berlin).tiles(english);
    ASSERT_EQ(empty.size(), 4);
    const QStringList labels{u"Words today"_s, u"Dictations today"_s, u"Average speed"_s, u"Corrections, 7 days"_s};
    const QStringList values{u"0"_s, u"0"_s, u"\u2014"_s, u"0"_s};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(empty[i].label, labels[i]);
        EXPECT_EQ(empty[i].value, values[i]);
    }

    const Stats stats({made(now.addSecs(-60), 12'344), made(now.addSecs(-30))}, now, berlin);
    EXPECT_EQ(stats.tiles(english)[0].value, u"12,345"_s);
    EXPECT_EQ(stats.tiles(QLocale(QLocale::German, QLocale::Germany))[0].value, u"12.345"_s);
    EXPECT_EQ(stats.tiles(english)[1].value, u"2"_s);
}

TEST(Stats, TodayIsTheCalendarDayInTheUsersTimeZone)
{
    // Just after midnight, on the night the clocks go forward.
    const QDateTime now = inBerlin(3, 29, 0, 30);
    const QList<HistoryEntry> history{made(inBerlin(3, 29, 0, 0).addMSecs(-1), 2), made(inBerlin(3, 29, 0, 0), 3),
                                      made(inBerlin(3, 29, 0, 29), 1), made(inBerlin(3, 29, 23, 59), 4),
                                      made(inBerlin(3, 30, 0, 0), 1)};
    const Stats stats(history, now, berlin);
    EXPECT_EQ(stats.dictationsToday, 3);
    EXPECT_EQ(stats.wordsToday, 3 + 1 + 4);

    // In New York it is still the evening of the 28th, when the first three were made.
    const Stats newYork(history, now, QTimeZone(QByteArrayLiteral("America/New_York")));
    EXPECT_EQ(newYork.wordsToday, 2 + 3 + 1);
    // Only the user's time zone matters, not that of `now`.
    EXPECT_EQ(Stats(history, now.toUTC(), berlin), stats);
}

TEST(Stats, CorrectionsCountSevenCalendarDaysBackAcrossAClockChange)
{
    // The clocks went forward on 29 March: seven calendar days before noon on the 30th is 6 days 23 hours.
    const QDateTime now = inBerlin(3, 30, 12);
    const QDateTime windowStart = inBerlin(3, 23, 12);
    const QList<HistoryEntry> history{made(now, 1, 1.0, 1),         made(windowStart.addMSecs(1), 1, 1.0, 2),
                                      made(windowStart, 1, 1.0, 4), made(now.addSecs(-7 * 24 * 3600 + 1800), 1, 1.0, 8),
                                      made(now.addDays(-3)),        made(now.addDays(-30), 1, 1.0, 16)};
    EXPECT_EQ(Stats(history, now, berlin).correctionsLast7Days, 1 + 2);

    // Without a clock change, 6 days 23 hours back is inside and 7 days back is not.
    const QDateTime summer = inBerlin(7, 15, 9);
    const QList<HistoryEntry> week{made(summer.addSecs(-(6 * 24 + 23) * 3600), 1, 1.0, 1),
                                   made(summer.addDays(-7), 1, 1.0, 10)};
    EXPECT_EQ(Stats(week, summer, berlin).correctionsLast7Days, 1);
}

} // namespace
