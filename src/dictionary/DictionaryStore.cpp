#include "DictionaryStore.h"

#include "DictionaryFile.h"
#include "EnglishWords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

namespace sayloom {

namespace {

Q_LOGGING_CATEGORY(lcDictionary, "app.sayloom.dictionary", QtInfoMsg)

struct ReadResult {
    std::optional<QString> text;
    QString error;
};

ReadResult readUtf8(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, file.errorString()};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {std::nullopt, file.errorString()};
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        return {std::nullopt, QStringLiteral("The file isn't valid UTF-8 text")};
    }
    return {std::move(text), {}};
}

// Ids are left out: parsing makes new ones, and an unchanged file must keep the ids the interface holds.
bool sameContent(const QList<DictionaryEntry>& a, const QList<DictionaryEntry>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const DictionaryEntry& x, const DictionaryEntry& y) {
        return x.phrase == y.phrase && x.heardAs == y.heardAs;
    });
}

// The words of an earlier version: a list of texts. A settings file gives a one-word list back as a plain text.
std::optional<QStringList> legacyWords(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString) {
        return QStringList{value.toString()};
    }
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList();
    }
    if (value.typeId() != QMetaType::QVariantList) {
        return std::nullopt;
    }
    QStringList words;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QString) {
            return std::nullopt;
        }
        words.append(item.toString());
    }
    return words;
}

} // namespace

DictionaryStore::DictionaryStore(QString filePath, QSettings& settings, QObject* parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_reloadTimer(new QTimer(this))
{
    // Events come in bursts (an editor's save is a create, a write and a rename); one reload per turn of the event
    // loop reads the result of the whole burst.
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(0);
    connect(m_reloadTimer, &QTimer::timeout, this, &DictionaryStore::reload);

    migrateLegacyWordsIfNeeded(settings);
    reload();
    watch();

    // The editor's first warnings need the system word list; loading it takes a while, so it starts now, off the main
    // thread. EnglishWords loads it once, whichever thread asks first.
    QThreadPool::globalInstance()->start([] {
        QThread::currentThread()->setPriority(QThread::LowPriority);
        EnglishWords::words();
        QThread::currentThread()->setPriority(QThread::InheritPriority);
    });
}

DictionaryStore::~DictionaryStore() = default;

qsizetype DictionaryStore::wordCount() const
{
    return std::count_if(m_entries.begin(), m_entries.end(), [](const DictionaryEntry& e) { return !e.heardAs; });
}

qsizetype DictionaryStore::correctionCount() const
{
    return m_entries.size() - wordCount();
}

QStringList DictionaryStore::biasTerms() const
{
    QStringList terms;
    QSet<QString> taken;
    for (auto it = m_entries.crbegin(); it != m_entries.crend() && terms.size() < maximumBiasTerms; ++it) {
        const QString lowered = it->phrase.toLower();
        if (taken.contains(lowered)) {
            continue;
        }
        taken.insert(lowered);
        terms.append(it->phrase);
    }
    return terms;
}

bool DictionaryStore::isWatching() const
{
    return m_watcher && !m_watcher->directories().isEmpty();
}

void DictionaryStore::reload()
{
    if (!QFileInfo::exists(m_filePath) && !QFileInfo(m_filePath).isSymLink()) {
        writeFile({});
    }
    ReadResult read = readUtf8(m_filePath);
    rearmWatch();
    if (!read.text) {
        qCCritical(lcDictionary, "Dictionary read failed: %s", qUtf8Printable(read.error));
        setFileError(u"Couldn't read " + QFileInfo(m_filePath).fileName() + u": " + read.error);
        return;
    }
    const QList<DictionaryEntry> parsed = DictionaryFile::parse(*read.text);
    if (!sameContent(parsed, m_entries)) {
        setEntries(parsed);
    }
    setFileError(std::nullopt);
}

void DictionaryStore::add(const DictionaryEntry& entry)
{
    QList<DictionaryEntry> entries = m_entries;
    entries.append(entry);
    setEntries(entries);
    save();
}

void DictionaryStore::update(const DictionaryEntry& entry)
{
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&](const DictionaryEntry& existing) { return existing.id == entry.id; });
    if (it == m_entries.cend()) {
        return;
    }
    QList<DictionaryEntry> entries = m_entries;
    entries[it - m_entries.cbegin()] = entry;
    setEntries(entries);
    save();
}

void DictionaryStore::remove(const DictionaryEntry& entry)
{
    QList<DictionaryEntry> entries = m_entries;
    entries.removeIf([&](const DictionaryEntry& existing) { return existing.id == entry.id; });
    setEntries(entries);
    save();
}

void DictionaryStore::migrateLegacyWordsIfNeeded(QSettings& settings)
{
    const QString key = legacySettingsKey.toString();
    const QVariant value = settings.value(key);
    if (!value.isValid()) {
        return;
    }
    const auto words = legacyWords(value);
    if (!words) {
        // Not a word list: nothing to move, and nothing of ours to remove.
        qCWarning(lcDictionary) << "The former word list in the settings is not a list of texts; left in place";
        return;
    }
    if (!QFileInfo::exists(m_filePath) && !QFileInfo(m_filePath).isSymLink()) {
        QList<DictionaryEntry> entries;
        entries.reserve(words->size());
        for (const QString& word : *words) {
            entries.append(DictionaryEntry(word));
        }
        writeFile(entries);
        if (m_fileError) {
            // The words exist nowhere else yet; they stay in the settings for the next start.
            return;
        }
    }
    settings.remove(key);
}

void DictionaryStore::watch()
{
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DictionaryStore::scheduleReload);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &DictionaryStore::scheduleReload);
    rearmWatch();
}

void DictionaryStore::rearmWatch()
{
    if (!m_watcher) {
        return;
    }
    // The folder is watched for files created, removed and renamed in it, the file for writes in place. A file
    // replaced by a rename is a new file, and a folder removed and made again is a new folder: both need a new
    // watch. While the folder is missing, the nearest folder above it that exists tells when it comes back.
    const QFileInfo file(m_filePath);
    QString folder = file.absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder) {
            break;
        }
        folder = parent;
    }
    QStringList wanted{folder};
    if (file.isFile()) {
        wanted.append(file.absoluteFilePath());
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList stale;
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            stale.append(path);
        }
    }
    if (!stale.isEmpty()) {
        m_watcher->removePaths(stale);
    }
    for (const QString& path : std::as_const(wanted)) {
        if (!watched.contains(path) && !m_watcher->addPath(path)) {
            qCDebug(lcDictionary) << "Couldn't watch" << path;
        }
    }
}

void DictionaryStore::scheduleReload()
{
    m_reloadTimer->start();
}

void DictionaryStore::save()
{
    writeFile(m_entries);
}

void DictionaryStore::writeFile(const QList<DictionaryEntry>& entries)
{
    const QFileInfo file(m_filePath);
    const auto fail = [&](const QString& reason) {
        qCCritical(lcDictionary, "Dictionary write failed: %s", qUtf8Printable(reason));
        setFileError(u"Couldn't save " + file.fileName() + u": " + reason);
    };
    if (!QDir().mkpath(file.absolutePath())) {
        fail(QStringLiteral("Couldn't create the folder %1").arg(file.absolutePath()));
        return;
    }
    QSaveFile out(m_filePath);
    if (!out.open(QIODevice::WriteOnly)) {
        fail(out.errorString());
        return;
    }
    const QByteArray bytes = DictionaryFile::serialize(entries).toUtf8();
    if (out.write(bytes) != bytes.size()) {
        fail(out.errorString());
        out.cancelWriting();
        return;
    }
    if (!out.commit()) {
        fail(out.errorString());
        return;
    }
    setFileError(std::nullopt);
}

void DictionaryStore::setEntries(const QList<DictionaryEntry>& entries)
{
    if (entries == m_entries) {
        return;
    }
    m_entries = entries;
    m_corrector = DictionaryCorrector(m_entries);
    emit entriesChanged();
    emit correctorChanged();
}

void DictionaryStore::setFileError(std::optional<QString> error)
{
    if (error == m_fileError) {
        return;
    }
    m_fileError = std::move(error);
    emit fileErrorChanged();
}

} // namespace sayloom
