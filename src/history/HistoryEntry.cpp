#include "history/HistoryEntry.h"

#include <QHashFunctions>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cmath>

namespace sayloom {

namespace {

void appendJsonString(QByteArray& out, const QString& text)
{
    // Escapes what JSON requires and copies every other byte of the UTF-8 form in runs.
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            continue;
        }
        out.append(utf8.constData() + runStart, i - runStart);
        runStart = i + 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            static constexpr char hex[] = "0123456789abcdef";
            const char escape[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
            out.append(escape, sizeof escape);
        }
        }
    }
    out.append(utf8.constData() + runStart, utf8.size() - runStart);
    out += '"';
}

bool appendNumber(QByteArray& out, double number)
{
    if (!std::isfinite(number)) {
        return false;
    }
    // The shortest digits that read back as the same double, without an exponent.
    out += QByteArray::number(number, 'f', QLocale::FloatingPointShortest);
    return true;
}

bool isCanonicalUuidText(const QString& text)
{
    if (text.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-') {
                return false;
            }
            continue;
        }
        const bool hexDigit = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hexDigit) {
            return false;
        }
    }
    return true;
}

bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

} // namespace

std::optional<QByteArray> HistoryEntry::toJsonBytes() const
{
    QByteArray out;
    out.reserve(96 + 2 * (text.size() + raw.size()));
    out += "{\"id\":\"";
    out += idText(id).toLatin1();
    out += "\",\"text\":";
    appendJsonString(out, text);
    out += ",\"raw\":";
    appendJsonString(out, raw);
    out += ",\"date\":";
    if (!date.isValid() || !appendNumber(out, secondsSinceReferenceDate(date))) {
        return std::nullopt;
    }
    if (appName) {
        out += ",\"appName\":";
        appendJsonString(out, *appName);
    }
    if (duration) {
        out += ",\"duration\":";
        if (!appendNumber(out, *duration)) {
            return std::nullopt;
        }
    }
    if (corrections) {
        out += ",\"corrections\":[";
        for (qsizetype i = 0; i < corrections->size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            const AppliedCorrection& correction = corrections->at(i);
            out += "{\"heard\":";
            appendJsonString(out, correction.heard);
            out += ",\"written\":";
            appendJsonString(out, correction.written);
            out += ",\"location\":" + QByteArray::number(correction.location) +
                   ",\"length\":" + QByteArray::number(correction.length) + '}';
        }
        out += ']';
    }
    out += '}';
    return out;
}

std::optional<HistoryEntry> HistoryEntry::fromJson(const QJsonValue& value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(u"id");
    const QJsonValue text = object.value(u"text");
    const QJsonValue raw = object.value(u"raw");
    const QJsonValue date = object.value(u"date");
    if (!id.isString() || !text.isString() || !raw.isString() || !date.isDouble()) {
        return std::nullopt;
    }
    const QString idString = id.toString();
    if (!isCanonicalUuidText(idString)) {
        return std::nullopt;
    }
    const double seconds = date.toDouble();
    if (!std::isfinite(seconds)) {
        return std::nullopt;
    }
    // Every field named, so no random id or clock reading is made only to be replaced.
    HistoryEntry entry{QUuid::fromString(idString),
                       text.toString(),
                       raw.toString(),
                       dateFromSecondsSinceReferenceDate(seconds),
                       std::nullopt,
                       std::nullopt,
                       std::nullopt};
    if (!entry.date.isValid()) {
        return std::nullopt;
    }

    const QJsonValue appName = object.value(u"appName");
    if (!isAbsent(appName)) {
        if (!appName.isString()) {
            return std::nullopt;
        }
        entry.appName = appName.toString();
    }
    const QJsonValue duration = object.value(u"duration");
    if (!isAbsent(duration)) {
        if (!duration.isDouble()) {
            return std::nullopt;
        }
        entry.duration = duration.toDouble();
    }
    const QJsonValue corrections = object.value(u"corrections");
    if (!isAbsent(corrections)) {
        if (!corrections.isArray()) {
            return std::nullopt;
        }
        const QJsonArray array = corrections.toArray();
        QList<AppliedCorrection> list;
        list.reserve(array.size());
        for (const QJsonValue& item : array) {
            auto correction = AppliedCorrection::fromJson(item);
            if (!correction) {
                return std::nullopt;
            }
            list.append(std::move(*correction));
        }
        entry.corrections = std::move(list);
    }
    return entry;
}

const QDateTime& HistoryEntry::referenceDate()
{
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return date;
}

double HistoryEntry::secondsSinceReferenceDate(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch() - referenceDate().toMSecsSinceEpoch()) / 1000.0;
}

QDateTime HistoryEntry::dateFromSecondsSinceReferenceDate(double seconds)
{
    const double milliseconds = std::round(seconds * 1000.0);
    // Far beyond any real date, and beyond what a millisecond count can hold.
    if (!std::isfinite(milliseconds) || std::fabs(milliseconds) > 1e17) {
        return {};
    }
    return QDateTime::fromMSecsSinceEpoch(referenceDate().toMSecsSinceEpoch() + static_cast<qint64>(milliseconds),
                                          Qt::UTC);
}

QString HistoryEntry::idText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

size_t qHash(const HistoryEntry& entry, size_t seed)
{
    const auto& corrections = entry.corrections;
    seed = qHashMulti(seed, entry.id, entry.text, entry.raw, entry.date, entry.appName.has_value(),
                      entry.appName.value_or(QString()), entry.duration.has_value(), entry.duration.value_or(0.0),
                      corrections.has_value());
    return corrections ? qHashRange(corrections->begin(), corrections->end(), seed) : seed;
}

} // namespace sayloom
