#include "dictionary/DictionaryStore.h"

#include "dictionary/DictionaryFile.h"
#include "dictionary/EnglishWords.h"

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
    // A leading byte-order mark is kept for the parser, which knows to skip it.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
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

// A changed file keeps the ids of the entries it still holds, each old entry lending its id to the first parsed
// entry with the same content, so an edit in the editor does not lose the interface's selection.
void carryOverIds(QList<DictionaryEntry>& parsed, const QList<DictionaryEntry>& current)
{
    QList<bool> used(current.size(), false);
    for (DictionaryEntry& entry : parsed) {
        for (qsizetype i = 0; i < current.size(); ++i) {
            if (!used[i] && current[i].phrase == entry.phrase && current[i].heardAs == entry.heardAs) {
                used[i] = true;
                entry.id = current[i].id;
                break;
            }
        }
    }
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
    QThreadPool::globalInstance()->start([] { EnglishWords::words(); }, -1);
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
    if (!fileExists()) {
        // A deleted file empties the dictionary and comes back with its header. Edits that could not be saved yet
        // exist only in memory, so they go into the new file instead of being dropped.
        const bool written = writeFile(m_unsaved ? m_entries : QList<DictionaryEntry>());
        if (!written) {
            rearmWatch();
            return;
        }
        m_unsaved = false;
    }
    const ReadResult read = readUtf8(m_filePath);
    rearmWatch();
    if (!read.text) {
        qCCritical(lcDictionary, "Dictionary read failed: %s", qUtf8Printable(read.error));
        setFileError(u"Couldn't read " + QFileInfo(m_filePath).fileName() + u": " + read.error);
        return;
    }
    QList<DictionaryEntry> parsed = DictionaryFile::parse(*read.text);
    if (m_unsaved && sameContent(parsed, m_onDisk)) {
        // The file is as it was when a save failed: the edits in memory are newer, and the save error stays.
        return;
    }
    m_unsaved = false;
    if (!sameContent(parsed, m_entries)) {
        carryOverIds(parsed, m_entries);
        setEntries(parsed);
    }
    m_onDisk = std::move(parsed);
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
    remove(QList<DictionaryEntry>{entry});
}

void DictionaryStore::remove(const QList<DictionaryEntry>& removed)
{
    QSet<QUuid> ids;
    for (const DictionaryEntry& entry : removed) {
        ids.insert(entry.id);
    }
    QList<DictionaryEntry> entries = m_entries;
    entries.removeIf([&](const DictionaryEntry& existing) { return ids.contains(existing.id); });
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
    if (!fileExists()) {
        QList<DictionaryEntry> entries;
        entries.reserve(words->size());
        for (const QString& word : *words) {
            entries.append(DictionaryEntry(word));
        }
        if (!writeFile(entries)) {
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
    m_unsaved = !writeFile(m_entries);
}

bool DictionaryStore::fileExists() const
{
    // A dangling link counts: writing through it is not ours to decide.
    const QFileInfo file(m_filePath);
    return file.exists() || file.isSymLink();
}

bool DictionaryStore::writeFile(const QList<DictionaryEntry>& entries)
{
    const QFileInfo file(m_filePath);
    const auto fail = [&](const QString& reason) {
        qCCritical(lcDictionary, "Dictionary write failed: %s", qUtf8Printable(reason));
        setFileError(u"Couldn't save " + file.fileName() + u": " + reason);
        return false;
    };
    if (!QDir().mkpath(file.absolutePath())) {
        return fail(QStringLiteral("Couldn't create the folder %1").arg(file.absolutePath()));
    }
    QSaveFile out(m_filePath);
    if (!out.open(QIODevice::WriteOnly)) {
        return fail(out.errorString());
    }
    const QByteArray bytes = DictionaryFile::serialize(entries).toUtf8();
    // A small write only fills the buffer, and commit() does not report a failed flush of it (a full disk): the
    // short file would replace the good one. Flushing here makes that failure visible before anything is replaced.
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        return fail(reason);
    }
    if (!out.commit()) {
        return fail(out.errorString());
    }
    m_onDisk = entries;
    setFileError(std::nullopt);
    return true;
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
