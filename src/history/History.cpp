#include "History.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSettings>

namespace sayloom {

namespace {

Q_LOGGING_CATEGORY(lcHistory, "app.sayloom.history", QtInfoMsg)

enum class FileState { missing, unreadable, read };

struct FileRead {
    FileState state;
    QByteArray bytes;
};

FileRead readFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        return {FileState::missing, {}};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcHistory) << "History read failed:" << file.errorString();
        return {FileState::unreadable, {}};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcHistory) << "History read failed:" << file.errorString();
        return {FileState::unreadable, {}};
    }
    return {FileState::read, std::move(bytes)};
}

// The settings value as the bytes of a JSON array: earlier versions stored data, which a settings file may also
// give back as text. Any other type is not a history.
std::optional<QByteArray> legacyBytes(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::QString:
        return value.toString().toUtf8();
    default:
        return std::nullopt;
    }
}

QByteArray digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

std::optional<QByteArray> fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return std::nullopt;
    }
    return hash.result();
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Keeps the bytes of a History.json that did not decode, since the next save replaces it. An earlier copy is never
// overwritten: the same content is not copied twice, other content goes next to it under the next free number.
void keepCorruptCopy(const QString& path, const QByteArray& bytes)
{
    const QByteArray wanted = digest(bytes);
    const QString base = path + u".corrupt";
    for (int number = 1; number < 1000; ++number) {
        const QString candidate = number == 1 ? base : base + u'-' + QString::number(number);
        if (QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink()) {
            if (fileDigest(candidate) == wanted) {
                return;
            }
            continue;
        }
        QString error;
        if (!writeAtomically(candidate, bytes, &error)) {
            qCWarning(lcHistory) << "Couldn't keep a copy of the unreadable history:" << error;
            return;
        }
        qCWarning(lcHistory) << "History.json does not decode; kept a copy as" << QFileInfo(candidate).fileName();
        return;
    }
    qCWarning(lcHistory) << "Couldn't keep a copy of the unreadable history: too many earlier copies";
}

} // namespace

QList<HistoryEntry> History::load(QSettings& settings, const QString& path)
{
    const FileRead file = readFile(path);
    if (file.state == FileState::read) {
        if (auto entries = decode(file.bytes)) {
            return std::move(*entries);
        }
        keepCorruptCopy(path, file.bytes);
    }

    const QString key = legacySettingsKey.toString();
    const QVariant value = settings.value(key);
    if (!value.isValid()) {
        return {};
    }
    const auto bytes = legacyBytes(value);
    auto entries = bytes ? decode(*bytes) : std::nullopt;
    if (!entries) {
        qCWarning(lcHistory) << "The former history in the settings does not decode; left in place";
        return {};
    }
    // A file that exists but cannot be read may still hold the user's history: it is not replaced from here, and the
    // settings value stays until a load can move it.
    if (file.state == FileState::unreadable) {
        return std::move(*entries);
    }
    if (save(*entries, path)) {
        settings.remove(key);
    }
    return std::move(*entries);
}

bool History::save(const QList<HistoryEntry>& entries, const QString& path)
{
    const auto bytes = encode(entries.size() > maximumCount ? entries.first(maximumCount) : entries);
    if (!bytes) {
        qCWarning(lcHistory) << "History not saved: an entry has a number JSON cannot hold";
        return false;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        qCWarning(lcHistory) << "History not saved: couldn't create its folder";
        return false;
    }
    QString error;
    if (!writeAtomically(path, *bytes, &error)) {
        qCWarning(lcHistory) << "History not saved:" << error;
        return false;
    }
    return true;
}

std::optional<QByteArray> History::encode(const QList<HistoryEntry>& entries)
{
    QByteArray out;
    out.reserve(entries.size() * 256 + 2);
    out += '[';
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const auto entry = entries[i].toJsonBytes();
        if (!entry) {
            return std::nullopt;
        }
        if (i > 0) {
            out += ',';
        }
        out += *entry;
    }
    out += ']';
    return out;
}

std::optional<QList<HistoryEntry>> History::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<HistoryEntry> entries;
    entries.reserve(array.size());
    for (const QJsonValue& value : array) {
        auto entry = HistoryEntry::fromJson(value);
        if (!entry) {
            return std::nullopt;
        }
        entries.append(std::move(*entry));
    }
    return entries;
}

} // namespace sayloom
