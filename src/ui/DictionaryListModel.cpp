#include "ui/DictionaryListModel.h"

#include "ui/DictionaryRowPainter.h"
#include "ui/DictionaryRules.h"

namespace sayloom {

DictionaryListModel::DictionaryListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void DictionaryListModel::setEntries(const QList<DictionaryEntry>& entries, const QLocale& locale)
{
    m_entries = entries;
    m_locale = locale;
    m_index = DictionaryLint::Index(entries);
    m_warnings.clear();
    ++m_generation;
    rebuild();
}

void DictionaryListModel::setQuery(const QString& query)
{
    if (query == m_query) {
        return;
    }
    m_query = query;
    rebuild();
}

const DictionaryEntry* DictionaryListModel::entryAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_shown.size()) {
        return nullptr;
    }
    return &m_shown[index.row()];
}

const QStringList& DictionaryListModel::warningsAt(const QModelIndex& index) const
{
    static const QStringList none;
    const DictionaryEntry* entry = entryAt(index);
    if (!entry) {
        return none;
    }
    auto found = m_warnings.find(entry->id);
    if (found == m_warnings.end()) {
        found = m_warnings.insert(entry->id, DictionaryLint::warnings(*entry, m_index));
    }
    return *found;
}

QModelIndex DictionaryListModel::indexOf(const QUuid& id) const
{
    for (qsizetype row = 0; row < m_shown.size(); ++row) {
        if (m_shown[row].id == id) {
            return index(int(row));
        }
    }
    return {};
}

int DictionaryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant DictionaryListModel::data(const QModelIndex& index, int role) const
{
    const DictionaryEntry* entry = entryAt(index);
    if (!entry) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return DictionaryRowPainter::mainText(*entry);
    case Qt::AccessibleTextRole: {
        QStringList parts{DictionaryRowPainter::mainText(*entry), DictionaryRowPainter::tagTitle(entry->kind())};
        return (parts + warningsAt(index)).join(u". ");
    }
    default:
        return {};
    }
}

Qt::ItemFlags DictionaryListModel::flags(const QModelIndex& index) const
{
    return entryAt(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DictionaryListModel::rebuild()
{
    beginResetModel();
    m_shown = DictionaryRules::results(m_entries, m_query, m_locale);
    endResetModel();
}

} // namespace sayloom
