#include "history/History.h"

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
    // A small write only fills the buffer, and commit() does not report a failed flush of it (a full disk): the
    // short file would replace the good one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
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

// Names next to the file for keeping what the next save would replace: "History.json.corrupt", then
// "History.json.corrupt-2", -3 … An earlier one is never overwritten.
QString nameAside(const QString& path, QStringView suffix, int number)
{
    return path + u'.' + suffix + (number == 1 ? QString() : u'-' + QString::number(number));
}

bool takenName(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Keeps the bytes of a History.json that did not decode, since the next save replaces it. The same content is not
// copied twice; other content goes next to earlier copies under the next free number.
bool keepCorruptCopy(const QString& path, const QByteArray& bytes)
{
    const QByteArray wanted = digest(bytes);
    for (int number = 1; number <= 1000; ++number) {
        const QString candidate = nameAside(path, u"corrupt", number);
        if (takenName(candidate)) {
            if (fileDigest(candidate) == wanted) {
                return true;
            }
            continue;
        }
        QString error;
        if (!writeAtomically(candidate, bytes, &error)) {
            qCWarning(lcHistory) << "Couldn't keep a copy of the history that does not decode:" << error;
            return false;
        }
        qCWarning(lcHistory) << "The history does not decode; kept a copy as" << QFileInfo(candidate).fileName();
        return true;
    }
    qCWarning(lcHistory) << "Couldn't keep a copy of the history that does not decode: too many earlier copies";
    return false;
}

// A file that cannot be read cannot be copied, but it can be moved out of the way of the next save, which would
// otherwise replace it unseen.
bool moveUnreadableAside(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    for (int number = 1; number <= 1000; ++number) {
        const QString candidate = nameAside(path, u"unreadable", number);
        if (takenName(candidate)) {
            continue;
        }
        if (!QFile::rename(path, candidate)) {
            qCWarning(lcHistory) << "Couldn't move the unreadable history aside";
            return false;
        }
        qCWarning(lcHistory) << "The history cannot be read; moved it aside as" << QFileInfo(candidate).fileName();
        return true;
    }
    return false;
}

} // namespace

QList<HistoryEntry> History::load(QSettings& settings, const QString& path)
{
    const FileRead file = readFile(path);
    // Whether the file may be replaced from here: only when nothing in it can be lost.
    bool replaceable = file.state == FileState::missing;
    if (file.state == FileState::read) {
        if (auto entries = decode(file.bytes)) {
            return std::move(*entries);
        }
        replaceable = keepCorruptCopy(path, file.bytes);
    } else if (file.state == FileState::unreadable) {
        replaceable = moveUnreadableAside(path);
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
    // Otherwise the settings value stays until a load can move it.
    if (replaceable && save(*entries, path)) {
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
