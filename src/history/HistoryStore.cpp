#include "history/HistoryStore.h"

#include "history/History.h"

namespace sayloom {

HistoryStore::HistoryStore(QString filePath, QSettings& legacySettings, QObject* parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_entries(History::load(legacySettings, m_filePath))
{
}

HistoryStore::~HistoryStore() = default;

void HistoryStore::add(const HistoryEntry& entry)
{
    QList<HistoryEntry> entries = m_entries;
    entries.prepend(entry);
    if (entries.size() > History::maximumCount) {
        entries.resize(History::maximumCount);
    }
    replace(std::move(entries));
}

void HistoryStore::remove(const HistoryEntry& entry)
{
    QList<HistoryEntry> entries = m_entries;
    entries.removeIf([&entry](const HistoryEntry& candidate) { return candidate.id == entry.id; });
    replace(std::move(entries));
}

void HistoryStore::clear()
{
    replace({});
}

void HistoryStore::replace(QList<HistoryEntry> entries)
{
    if (entries != m_entries) {
        m_entries = std::move(entries);
        emit entriesChanged();
    }
    // Saved also when nothing changed: a save that failed earlier gets another chance.
    History::save(m_entries, m_filePath);
}

} // namespace sayloom
