#pragma once

#include "dictionary/AppliedCorrection.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace sayloom {

// One delivered dictation. Dates are kept to the millisecond; a stored date with a finer fraction is rounded to
// the nearest millisecond when read.
struct HistoryEntry {
    QUuid id = QUuid::createUuid();
    // What was delivered: the transcript after cleanup and dictionary corrections.
    QString text;
    // The transcript as the speech engine returned it.
    QString raw;
    // The moment of delivery.
    QDateTime date = QDateTime::currentDateTimeUtc();
    // The receiving application's display name, when it had one.
    std::optional<QString> appName;
    // Seconds of recording.
    std::optional<double> duration;
    // Locations refer to `text`.
    std::optional<QList<AppliedCorrection>> corrections;

    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;

    // Compact JSON in the stored form: keys in the order id, text, raw, date, appName, duration, corrections;
    // absent values are left out. Nothing when a number cannot be written (not finite).
    std::optional<QByteArray> toJsonBytes() const;
    // Strict: "id" (a UUID), "text", "raw" and "date" are required with their types; "appName", "duration" and
    // "corrections" may be missing or null. Unknown keys are ignored.
    static std::optional<HistoryEntry> fromJson(const QJsonValue& value);

    // Dates are stored as seconds since 2001-01-01 00:00:00 UTC.
    static const QDateTime& referenceDate();
    static double secondsSinceReferenceDate(const QDateTime& date);
    static QDateTime dateFromSecondsSinceReferenceDate(double seconds);
    // The canonical upper-case form with hyphens, 36 characters.
    static QString idText(const QUuid& id);
};

size_t qHash(const HistoryEntry& entry, size_t seed = 0);

} // namespace sayloom
