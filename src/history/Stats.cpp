#include "history/Stats.h"

#include <cmath>
#include <limits>

namespace sayloom {

Stats::Stats(const QList<HistoryEntry>& history, const QDateTime& now, const QTimeZone& timeZone)
{
    const QDateTime localNow = now.toTimeZone(timeZone);
    // Today as a range of instants, so each entry is a comparison instead of a time-zone conversion.
    const QDate today = localNow.date();
    const qint64 todayStartMs = today.startOfDay(timeZone).toMSecsSinceEpoch();
    const qint64 tomorrowStartMs = today.addDays(1).startOfDay(timeZone).toMSecsSinceEpoch();
    // Same clock time seven calendar days back, so a week with a clock change is still seven days by the calendar.
    // When that moment cannot be computed, the window reaches back to the beginning of time.
    const QDateTime windowStart = localNow.addDays(-7);
    const qint64 windowStartMs =
            windowStart.isValid() ? windowStart.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();

    double timedSeconds = 0;
    qint64 timedWords = 0;
    for (const HistoryEntry& entry : history) {
        const qint64 words = wordCount(entry.text);
        const qint64 dateMs = entry.date.toMSecsSinceEpoch();
        if (dateMs >= todayStartMs && dateMs < tomorrowStartMs) {
            wordsToday += words;
            dictationsToday += 1;
        }
        if (entry.duration && *entry.duration > 0) {
            timedSeconds += *entry.duration;
            timedWords += words;
        }
        if (entry.corrections && dateMs > windowStartMs) {
            correctionsLast7Days += entry.corrections->size();
        }
    }
    const double minutes = timedSeconds / 60.0;
    if (minutes > 0) {
        wordsPerMinute = std::llround(static_cast<double>(timedWords) / minutes);
    }
}

QList<Stats::Tile> Stats::tiles(const QLocale& locale) const
{
    return {
            {QStringLiteral("Words today"), locale.toString(wordsToday), QStringLiteral("text.word.spacing")},
            {QStringLiteral("Dictations today"), locale.toString(dictationsToday), QStringLiteral("mic")},
            {QStringLiteral("Average speed"), averageSpeedText(), QStringLiteral("speedometer")},
            {QStringLiteral("Corrections, 7 days"), locale.toString(correctionsLast7Days),
             QStringLiteral("character.book.closed")},
    };
}

QString Stats::averageSpeedText() const
{
    if (!wordsPerMinute) {
        return QStringLiteral("\u2014");
    }
    return QString::number(*wordsPerMinute) + u" wpm";
}

qint64 Stats::wordCount(QStringView text)
{
    qint64 count = 0;
    bool inWord = false;
    for (const QChar c : text) {
        // Every Unicode white-space character is in the Basic Multilingual Plane, so code units will do.
        const bool space = c.isSpace();
        if (!space && !inWord) {
            ++count;
        }
        inWord = !space;
    }
    return count;
}

} // namespace sayloom
