#pragma once

#include "history/HistoryEntry.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QTimeZone>

#include <optional>

namespace sayloom {

// The home screen's four figures, computed from the history on every redraw; nothing is stored.
struct Stats {
    // Words in the text of today's entries.
    qint64 wordsToday = 0;
    qint64 dictationsToday = 0;
    // Over every entry of the whole history with a duration above 0; absent when there is none.
    std::optional<qint64> wordsPerMinute;
    // Corrections in entries made after this moment seven calendar days ago.
    qint64 correctionsLast7Days = 0;

    struct Tile {
        QString label;
        QString value;
        // The name of the tile's symbol.
        QString symbol;
    };

    Stats() = default;
    // "Today" and "seven days ago" are calendar days in `timeZone`, seen from `now`.
    explicit Stats(const QList<HistoryEntry>& history, const QDateTime& now = QDateTime::currentDateTime(),
                   const QTimeZone& timeZone = QTimeZone::systemTimeZone());

    friend bool operator==(const Stats&, const Stats&) = default;

    // The tiles in order: "Words today", "Dictations today", "Average speed", "Corrections, 7 days".
    QList<Tile> tiles(const QLocale& locale = QLocale()) const;
    // "90 wpm", or an em dash without timed entries.
    QString averageSpeedText() const;

    // The number of maximal runs of characters that are not white space.
    static qint64 wordCount(QStringView text);
};

} // namespace sayloom
