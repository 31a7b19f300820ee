#pragma once

#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QFileSystemWatcher;
class QSettings;
class QTimer;

namespace sayloom {

// Owns Dictionary.txt and what is derived from it: the entries in file order, their compiled corrector and the
// last file error. Follows the disk through a watch on the file's folder and writes the disk after every edit made
// in the app. Lives on the main thread.
class DictionaryStore final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<sayloom::DictionaryEntry> entries READ entries NOTIFY entriesChanged)
    Q_PROPERTY(std::optional<QString> fileError READ fileError NOTIFY fileErrorChanged)
    Q_PROPERTY(QString filePath READ filePath CONSTANT)

public:
    // The word list of an earlier version, a list of texts in the settings; read once and removed.
    static constexpr QStringView legacySettingsKey = u"dictionary";
    static constexpr qsizetype maximumBiasTerms = 25;

    // Moves a legacy word list out of `settings`, reads the file (creating it with its header on first run), starts
    // watching its folder and warms up the system word list in the background. `settings` is used only here.
    DictionaryStore(QString filePath, QSettings& settings, QObject* parent = nullptr);
    ~DictionaryStore() override;
    DictionaryStore(const DictionaryStore&) = delete;
    DictionaryStore& operator=(const DictionaryStore&) = delete;

    const QList<DictionaryEntry>& entries() const { return m_entries; }
    // Built from entries(); a dictation takes a copy when it starts.
    const DictionaryCorrector& corrector() const { return m_corrector; }
    // "Couldn't read Dictionary.txt: …" or "Couldn't save Dictionary.txt: …"; absent after a success.
    const std::optional<QString>& fileError() const { return m_fileError; }
    const QString& filePath() const { return m_filePath; }

    qsizetype wordCount() const;
    qsizetype correctionCount() const;
    // At most 25 phrases for the recogniser, newest entry first, each phrase once whatever its case.
    QStringList biasTerms() const;

    // Whether the folder (or, while it is missing, an existing ancestor) is being watched.
    bool isWatching() const;

    // Re-reads the file; a missing file is re-created with the header only.
    void reload();
    // Edits, each followed by a save.
    void add(const DictionaryEntry& entry);
    // Replaces the first entry with the same id in place; does nothing (and writes nothing) when there is none.
    void update(const DictionaryEntry& entry);
    // Removes every entry with the same id; writes the file also when none was removed.
    void remove(const DictionaryEntry& entry);
    // The same for several entries at once, with one write of the file.
    void remove(const QList<DictionaryEntry>& entries);

signals:
    void entriesChanged();
    void correctorChanged();
    void fileErrorChanged();

private:
    void migrateLegacyWordsIfNeeded(QSettings& settings);
    void watch();
    void rearmWatch();
    void scheduleReload();
    void save();
    bool fileExists() const;
    bool writeFile(const QList<DictionaryEntry>& entries);
    void setEntries(const QList<DictionaryEntry>& entries);
    void setFileError(std::optional<QString> error);

    QString m_filePath;
    QList<DictionaryEntry> m_entries;
    DictionaryCorrector m_corrector;
    std::optional<QString> m_fileError;
    // What the file held at the last successful read or write.
    QList<DictionaryEntry> m_onDisk;
    // The last save failed: the list in memory is newer than the file.
    bool m_unsaved = false;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_reloadTimer = nullptr;
};

} // namespace sayloom
