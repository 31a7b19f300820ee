#pragma once

#include "history/HistoryEntry.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace sayloom {

// The History screen's sections: the shown entries by the calendar day they were made on, newest day first,
// each keeping the history's order, titled "Today", "Yesterday" or the day written out.
class HistoryGrouping {
public:
    struct Group {
        QDate day;
        QString title;
        // Positions in the list that was grouped.
        QList<qsizetype> rows;

        friend bool operator==(const Group&, const Group&) = default;
    };

    HistoryGrouping() = delete;

    // `rows` picks the entries to group (the filter's survivors); days are those of `timeZone`, seen from `now`.
    static QList<Group> group(const QList<HistoryEntry>& entries, const QList<qsizetype>& rows, const QDateTime& now,
                              const QTimeZone& timeZone, const QLocale& locale = QLocale());
    // The same over each entry's day, worked out beforehand.
    static QList<Group> groupDays(const QList<QDate>& days, const QList<qsizetype>& rows, const QDate& today,
                                  const QLocale& locale = QLocale());
    static QString title(const QDate& day, const QDate& today, const QLocale& locale = QLocale());
    // The locale's long date without the year: weekday, month name and day ("dddd, MMMM d" in English).
    static QString dayFormat(const QLocale& locale);
};

} // namespace sayloom
