#include "ui/HistoryGrouping.h"

#include <QMap>
#include <QRegularExpression>

namespace sayloom {

QList<HistoryGrouping::Group> HistoryGrouping::group(const QList<HistoryEntry>& entries, const QList<qsizetype>& rows,
                                                     const QDateTime& now, const QTimeZone& timeZone,
                                                     const QLocale& locale)
{
    QList<QDate> days;
    days.reserve(entries.size());
    for (const HistoryEntry& entry : entries) {
        days.append(entry.date.toTimeZone(timeZone).date());
    }
    return groupDays(days, rows, now.toTimeZone(timeZone).date(), locale);
}

QList<HistoryGrouping::Group> HistoryGrouping::groupDays(const QList<QDate>& days, const QList<qsizetype>& rows,
                                                         const QDate& today, const QLocale& locale)
{
    QMap<QDate, QList<qsizetype>> byDay;
    for (const qsizetype row : rows) {
        byDay[days[row]].append(row);
    }
    QList<Group> groups;
    groups.reserve(byDay.size());
    for (auto day = byDay.constKeyValueEnd(); day != byDay.constKeyValueBegin();) {
        --day;
        groups.append(Group{day->first, title(day->first, today, locale), day->second});
    }
    return groups;
}

QString HistoryGrouping::title(const QDate& day, const QDate& today, const QLocale& locale)
{
    if (day == today) {
        return QStringLiteral("Today");
    }
    if (day == today.addDays(-1)) {
        return QStringLiteral("Yesterday");
    }
    return locale.toString(day, dayFormat(locale));
}

QString HistoryGrouping::dayFormat(const QLocale& locale)
{
    // Qt has no date skeletons, so the year is taken out of the locale's long format together with what only
    // joins it to the rest ("dddd, MMMM d, yyyy", "dddd, d. MMMM yyyy", "dddd, d 'de' MMMM 'de' yyyy",
    // "yyyy年M月d日dddd").
    static const QRegularExpression year(QStringLiteral("(?:[\\s,./-]*'[^']*')?[\\s,./-]*y+[\\s,./-]*\u5e74?"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    const QRegularExpressionMatch match = year.match(format);
    if (match.hasMatch()) {
        const bool atEnd = match.capturedEnd() == format.size();
        const bool atStart = match.capturedStart() == 0;
        // Inside the format the year's separators give way to one space.
        format.replace(match.capturedStart(), match.capturedLength(),
                       atEnd || atStart ? QString() : QStringLiteral(" "));
    }
    format = format.trimmed();
    return format.isEmpty() ? QStringLiteral("dddd, MMMM d") : format;
}

} // namespace sayloom
