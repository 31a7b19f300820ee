#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace sayloom {

// One change the corrector made. location and length are UTF-16 code units of the corrected text, so
// text.mid(location, length) == written.
struct AppliedCorrection {
    QString heard;
    QString written;
    qint64 location = 0;
    qint64 length = 0;

    friend bool operator==(const AppliedCorrection&, const AppliedCorrection&) = default;

    QJsonObject toJson() const;
    // Compact JSON with the keys in their documented order: heard, written, location, length.
    QByteArray toJsonBytes() const;
    // Strict: all four keys are required with their exact types; unknown keys are ignored.
    static std::optional<AppliedCorrection> fromJson(const QJsonValue& value);
};

size_t qHash(const AppliedCorrection& correction, size_t seed = 0);

} // namespace sayloom
