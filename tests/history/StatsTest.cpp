#include "Stats.h"

#include "Printers.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace sayloom;

namespace {

const QTimeZone berlin(QByteArrayLiteral("Europe/Berlin"));

QDateTime inBerlin(int year, int month, int day, int hour, int minute, int second = 0, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), berlin);
}

HistoryEntry made(const QDateTime& date, const QString& text = QStringLiteral("word"),
                  std::optional<double> duration = std::nullopt, int corrections = 0)
{
    HistoryEntry entry;
    entry.text = text;
    entry.raw = text;
    entry.date = date;
    entry.duration = duration;
    if (corrections > 0) {
        entry.corrections = QList<AppliedCorrection>(corrections, AppliedCorrection{});
    }
    return entry;
}

struct WordCase {
    const char16_t* text;
    qint64 words;
};

class StatsWordCount : public testing::TestWithParam<WordCase> {};

TEST_P(StatsWordCount, CountsRunsOfNonWhiteSpace)
{
    EXPECT_EQ(Stats::wordCount(QStringView(GetParam().text)), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Texts, StatsWordCount,
                         testing::Values(WordCase{u"", 0}, WordCase{u" \t\n ", 0}, WordCase{u"Hello,  world\nagain", 3},
                                         WordCase{u"don't.", 1}, WordCase{u"  lead and trail  ", 3},
                                         WordCase{u"no\u00A0break\u2003em\u3000ideographic\u2028line\u0085next", 6},
                                         WordCase{u"🎙️ emoji, and — dash", 5}, WordCase{u"a\r\nb\tc\vd\fe", 5},
                                         WordCase{u"日本語のテキスト", 1}));

TEST(Stats, AnEmptyHistoryShowsZerosAndADash)
{
    const Stats stats({}, inBerlin(2026, 6, 1, 12, 0), berlin);
    EXPECT_EQ(stats, Stats());
    const QList<Stats::Tile> tiles = stats.tiles(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_EQ(tiles.size(), 4);
    EXPECT_EQ(tiles[0].label, QStringLiteral("Words today"));
    EXPECT_EQ(tiles[0].value, QStringLiteral("0"));
    EXPECT_EQ(tiles[1].label, QStringLiteral("Dictations today"));
    EXPECT_EQ(tiles[2].label, QStringLiteral("Average speed"));
    EXPECT_EQ(tiles[2].value, QStringLiteral("\u2014"));
    EXPECT_EQ(tiles[3].label, QStringLiteral("Corrections, 7 days"));
    EXPECT_EQ(tiles[3].value, QStringLiteral("0"));
}

struct SpeedCase {
    std::vector<std::pair<int, std::optional<double>>> takes; // words, duration
    std::optional<qint64> wordsPerMinute;
    const char16_t* text;
};

class StatsSpeed : public testing::TestWithParam<SpeedCase> {};

TEST_P(StatsSpeed, AveragesEveryTimedEntryOfTheWholeHistory)
{
    const QDateTime now = inBerlin(2026, 6, 10, 12, 0);
    QList<HistoryEntry> history;
    int age = 0;
    for (const auto& [words, duration] : GetParam().takes) {
        QStringList text(words, QStringLiteral("w"));
        // A day older each, so old entries count as well as today's.
        history.append(made(now.addDays(-age++), text.join(u' '), duration));
    }
    const Stats stats(history, now, berlin);
    EXPECT_EQ(stats.wordsPerMinute, GetParam().wordsPerMinute);
    EXPECT_EQ(stats.averageSpeedText(), QString::fromUtf16(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Histories, StatsSpeed,
                         testing::Values(SpeedCase{{{30, 20.0}}, 90, u"90 wpm"},
                                         SpeedCase{{{10, 4.0}}, 150, u"150 wpm"}, SpeedCase{{{1, 40.0}}, 2, u"2 wpm"},
                                         SpeedCase{{{1, 120.0}}, 1, u"1 wpm"}, SpeedCase{{{0, 30.0}}, 0, u"0 wpm"},
                                         SpeedCase{{{5, std::nullopt}, {5, 0.0}, {5, -3.0}}, std::nullopt, u"\u2014"},
                                         SpeedCase{
                                                 {{30, 20.0}, {50, std::nullopt}, {30, 40.0}, {7, 0.0}}, 60, u"60 wpm"},
                                         SpeedCase{{{2500, 60.0}}, 2500, u"2500 wpm"}));

TEST(Stats, TodayIsTheCalendarDayInTheUsersTimeZone)
{
    // Just after midnight, on the night the clocks go forward.
    const QDateTime now = inBerlin(2026, 3, 29, 0, 30);
    const QList<HistoryEntry> history{
            made(inBerlin(2026, 3, 28, 23, 59, 59, 999), QStringLiteral("yesterday late")),
            made(inBerlin(2026, 3, 29, 0, 0), QStringLiteral("today at midnight")),
            made(inBerlin(2026, 3, 29, 0, 29), QStringLiteral("today")),
            made(inBerlin(2026, 3, 29, 23, 59), QStringLiteral("later today, clock ahead")),
            made(inBerlin(2026, 3, 30, 0, 0), QStringLiteral("tomorrow")),
    };
    const Stats stats(history, now, berlin);
    EXPECT_EQ(stats.dictationsToday, 3);
    EXPECT_EQ(stats.wordsToday, 3 + 1 + 4);

    // The same moments seen from New York: there it is still the evening of the 28th, when the first three were made.
    const Stats newYork(history, now, QTimeZone(QByteArrayLiteral("America/New_York")));
    EXPECT_EQ(newYork.dictationsToday, 3);
    EXPECT_EQ(newYork.wordsToday, 2 + 3 + 1);

    // The time zone of `now` itself does not matter, only the user's.
    EXPECT_EQ(Stats(history, now.toUTC(), berlin), stats);
}

TEST(Stats, CorrectionsCountSevenCalendarDaysBackAcrossAClockChange)
{
    // The clocks went forward on 29 March, so seven calendar days back from noon on 30 March is noon on 23 March,
    // six days and 23 hours ago.
    const QDateTime now = inBerlin(2026, 3, 30, 12, 0);
    const QDateTime windowStart = inBerlin(2026, 3, 23, 12, 0);
    const QList<HistoryEntry> history{
            made(now, QStringLiteral("now"), 1.0, 1),
            made(windowStart.addMSecs(1), QStringLiteral("just inside"), 1.0, 2),
            made(windowStart, QStringLiteral("at the start"), 1.0, 4),
            made(now.addSecs(-7 * 24 * 3600 + 1800), QStringLiteral("seven days of hours back, less half an hour"), 1.0,
                 8),
            made(now.addDays(-3), QStringLiteral("no list")),
            made(now.addDays(-30), QStringLiteral("old"), 1.0, 16),
    };
    EXPECT_EQ(Stats(history, now, berlin).correctionsLast7Days, 1 + 2);

    // Without a clock change, 6 days 23 hours back is inside and 7 days back is not.
    const QDateTime summer = inBerlin(2026, 7, 15, 9, 0);
    const QList<HistoryEntry> week{made(summer.addSecs(-(6 * 24 + 23) * 3600), QStringLiteral("a"), 1.0, 1),
                                   made(summer.addDays(-7), QStringLiteral("b"), 1.0, 10)};
    EXPECT_EQ(Stats(week, summer, berlin).correctionsLast7Days, 1);
}

TEST(Stats, CountsAreShownWithTheLocalesDigitGrouping)
{
    const QDateTime now = inBerlin(2026, 6, 1, 12, 0);
    QList<HistoryEntry> history;
    QStringList words(12'344, QStringLiteral("w"));
    history.append(made(now.addSecs(-60), words.join(u' ')));
    history.append(made(now.addSecs(-30), QStringLiteral("one")));
    const Stats stats(history, now, berlin);
    EXPECT_EQ(stats.wordsToday, 12'345);
    EXPECT_EQ(stats.tiles(QLocale(QLocale::English, QLocale::UnitedStates))[0].value, QStringLiteral("12,345"));
    EXPECT_EQ(stats.tiles(QLocale(QLocale::German, QLocale::Germany))[0].value, QStringLiteral("12.345"));
    EXPECT_EQ(stats.tiles(QLocale(QLocale::English, QLocale::UnitedStates))[1].value, QStringLiteral("2"));
}

} // namespace
