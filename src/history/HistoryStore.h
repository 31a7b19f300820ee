#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QObject>
#include <QString>

class QSettings;

namespace sayloom {

// Owns History.json while the program runs: the list of delivered dictations, newest first, at most 1000. Loads the
// file once when built (moving the history of an earlier version out of the settings) and rewrites it whole after
// every change. The list in memory is the truth: a save that fails is logged and otherwise silent, and the next
// change tries again. Lives on the main thread.
class HistoryStore final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<sayloom::HistoryEntry> entries READ entries NOTIFY entriesChanged)

public:
    // `legacySettings` is used only here, for the migration.
    HistoryStore(QString filePath, QSettings& legacySettings, QObject* parent = nullptr);
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;
    ~HistoryStore() override;

    const QList<HistoryEntry>& entries() const { return m_entries; }
    const QString& filePath() const { return m_filePath; }

    // Puts the entry at the top; the oldest beyond 1000 fall off.
    void add(const HistoryEntry& entry);
    // Removes every entry with this entry's id.
    void remove(const HistoryEntry& entry);
    void clear();

signals:
    void entriesChanged();

private:
    void replace(QList<HistoryEntry> entries);

    QString m_filePath;
    QList<HistoryEntry> m_entries;
};

} // namespace sayloom
