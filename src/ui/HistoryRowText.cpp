#include "ui/HistoryRowText.h"

#include "history/Stats.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace sayloom {

QList<HistoryRowText::Range> HistoryRowText::underlines(const QString& text,
                                                        const std::optional<QList<AppliedCorrection>>& corrections)
{
    QList<Range> ranges;
    if (!corrections) {
        return ranges;
    }
    QList<AppliedCorrection> sorted = *corrections;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const AppliedCorrection& a, const AppliedCorrection& b) { return a.location < b.location; });
    qint64 cursor = 0;
    const qint64 size = text.size();
    for (const AppliedCorrection& correction : sorted) {
        // Written so that no stored number, however large, can overflow the sum.
        if (correction.location < cursor || correction.length <= 0 || correction.location > size ||
            correction.length > size - correction.location) {
            continue;
        }
        ranges.append(Range{correction.location, correction.length});
        cursor = correction.location + correction.length;
    }
    return ranges;
}

QList<HistoryRowText::Range> HistoryRowText::highlights(const QString& text, const QString& query)
{
    QList<Range> ranges;
    const QString needle = query.trimmed();
    if (needle.isEmpty()) {
        return ranges;
    }
    for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)) {
        ranges.append(Range{at, needle.size()});
    }
    return ranges;
}

QString HistoryRowText::metaLine(const HistoryEntry& entry, const QTimeZone& timeZone, const QLocale& locale)
{
    QStringList parts;
    // Hours and minutes in the locale's way; some short formats (the C locale's) carry seconds, which a row does not.
    static const QRegularExpression seconds(QStringLiteral("[:.]s+"));
    const QString format = locale.timeFormat(QLocale::ShortFormat).remove(seconds);
    parts.append(locale.toString(entry.date.toTimeZone(timeZone).time(), format));
    if (entry.appName && !entry.appName->isEmpty()) {
        parts.append(*entry.appName);
    }
    parts.append(QString::number(Stats::wordCount(entry.text)) + u" words");
    if (entry.duration) {
        if (const std::optional<QString> duration = durationText(*entry.duration)) {
            parts.append(*duration);
        }
    }
    if (entry.corrections && !entry.corrections->isEmpty()) {
        parts.append(QString::number(entry.corrections->size()) + u" corrected");
    }
    return parts.join(u" \u00b7 ");
}

std::optional<QString> HistoryRowText::durationText(double seconds)
{
    // A day is far beyond any take; a longer or negative figure is a damaged file, not a time to show.
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 86400) {
        return std::nullopt;
    }
    const qint64 whole = std::llround(seconds);
    return QString::number(whole / 60) + u':' + QStringLiteral("%1").arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace sayloom
