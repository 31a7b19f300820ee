#include "dictionary/AppliedCorrection.h"

#include <QHashFunctions>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace sayloom {

namespace {

QByteArray jsonString(const QString& text)
{
    // QJsonDocument does the escaping; strip the brackets of the one-element array around it.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

std::optional<qint64> integer(const QJsonValue& value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    // 2^63 itself does not fit; every double below it with no fraction does.
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) >= 9223372036854775808.0) {
        return std::nullopt;
    }
    return value.toInteger(static_cast<qint64>(number));
}

} // namespace

QJsonObject AppliedCorrection::toJson() const
{
    return QJsonObject{
            {QStringLiteral("heard"), heard},
            {QStringLiteral("written"), written},
            {QStringLiteral("location"), location},
            {QStringLiteral("length"), length},
    };
}

QByteArray AppliedCorrection::toJsonBytes() const
{
    return "{\"heard\":" + jsonString(heard) + ",\"written\":" + jsonString(written) +
           ",\"location\":" + QByteArray::number(location) + ",\"length\":" + QByteArray::number(length) + '}';
}

std::optional<AppliedCorrection> AppliedCorrection::fromJson(const QJsonValue& value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const QJsonValue heard = object.value(QStringLiteral("heard"));
    const QJsonValue written = object.value(QStringLiteral("written"));
    const auto location = integer(object.value(QStringLiteral("location")));
    const auto length = integer(object.value(QStringLiteral("length")));
    if (!heard.isString() || !written.isString() || !location || !length) {
        return std::nullopt;
    }
    return AppliedCorrection{heard.toString(), written.toString(), *location, *length};
}

size_t qHash(const AppliedCorrection& correction, size_t seed)
{
    return qHashMulti(seed, correction.heard, correction.written, correction.location, correction.length);
}

} // namespace sayloom
