#include "ui/HistoryListModel.h"

#include "ui/HistoryGrouping.h"
#include "ui/HistoryRowText.h"

namespace sayloom {

HistoryListModel::HistoryListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void HistoryListModel::setHistory(const QList<HistoryEntry>& history, const QDateTime& now, const QTimeZone& timeZone,
                                  const QLocale& locale)
{
    m_history = history;
    m_now = now;
    m_timeZone = timeZone;
    m_locale = locale;
    m_filter = HistoryFilter(m_filter.query(), locale);
    m_folded.clear();
    m_days.clear();
    m_folded.reserve(history.size());
    m_days.reserve(history.size());
    for (const HistoryEntry& entry : history) {
        m_folded.append(HistoryFilter::folded(entry, locale));
        m_days.append(entry.date.toTimeZone(timeZone).date());
    }
    rebuild();
}

void HistoryListModel::setQuery(const QString& query)
{
    HistoryFilter filter(query, m_locale);
    if (filter.query() == m_filter.query()) {
        return;
    }
    m_filter = std::move(filter);
    rebuild();
}

void HistoryListModel::setNow(const QDateTime& now)
{
    const bool newDay = now.toTimeZone(m_timeZone).date() != m_now.toTimeZone(m_timeZone).date();
    m_now = now;
    if (newDay) {
        rebuild();
    }
}

void HistoryListModel::setCopied(const QUuid& id)
{
    const QUuid previous = std::exchange(m_copied, id);
    for (int row = 0; row < m_rows.size(); ++row) {
        const Row& shown = m_rows[row];
        if (shown.kind == RowKind::entry &&
            (m_history[shown.entry].id == previous || m_history[shown.entry].id == id)) {
            emit dataChanged(index(row), index(row), {CopiedRole});
        }
    }
}

const HistoryEntry* HistoryListModel::entryAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || m_rows[index.row()].kind != RowKind::entry) {
        return nullptr;
    }
    return &m_history[m_rows[index.row()].entry];
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    const Row& row = m_rows[index.row()];
    switch (role) {
    case KindRole:
        return QVariant::fromValue(int(row.kind));
    case EntryRole:
        return QVariant::fromValue(row.entry);
    case FirstInGroupRole:
        return row.first;
    case LastInGroupRole:
        return row.last;
    case CopiedRole:
        return row.kind == RowKind::entry && m_history[row.entry].id == m_copied;
    case Qt::DisplayRole:
        return row.kind == RowKind::title ? row.title : m_history[row.entry].text;
    case Qt::AccessibleTextRole:
        if (row.kind == RowKind::title) {
            return row.title;
        }
        return QString(m_history[row.entry].text + u". " +
                       HistoryRowText::metaLine(m_history[row.entry], m_timeZone, m_locale));
    default:
        return {};
    }
}

Qt::ItemFlags HistoryListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Titles are read by a screen reader but never take the keyboard focus.
    // Entries are "editable" only so their text opens in a read-only editor for selecting.
    return m_rows[index.row()].kind == RowKind::title ? Qt::ItemIsEnabled
                                                      : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void HistoryListModel::rebuild()
{
    beginResetModel();
    m_rows.clear();
    QList<qsizetype> shown;
    for (qsizetype i = 0; i < m_history.size(); ++i) {
        if (m_filter.matchesFolded(m_folded[i])) {
            shown.append(i);
        }
    }
    m_shownCount = shown.size();
    const QDate today = m_now.toTimeZone(m_timeZone).date();
    for (const HistoryGrouping::Group& group : HistoryGrouping::groupDays(m_days, shown, today, m_locale)) {
        m_rows.append(Row{RowKind::title, group.rows.first(), group.title});
        for (qsizetype i = 0; i < group.rows.size(); ++i) {
            m_rows.append(Row{RowKind::entry, group.rows[i], {}, i == 0, i == group.rows.size() - 1});
        }
    }
    endResetModel();
}

} // namespace sayloom
