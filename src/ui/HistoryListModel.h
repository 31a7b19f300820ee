#pragma once

#include "history/HistoryEntry.h"
#include "ui/HistoryFilter.h"

#include <QAbstractListModel>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QTimeZone>
#include <QUuid>

namespace sayloom {

// The History screen's list: the entries the search lets through, under a title row for each day. What each entry
// is searched by and which day it falls on is worked out once per history change, so a keystroke only compares
// strings.
class HistoryListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // A RowKind.
        KindRole = Qt::UserRole + 1,
        // The entry's position in the history.
        EntryRole,
        // Whether the row opens or closes its day's card.
        FirstInGroupRole,
        LastInGroupRole,
        // The entry was copied a moment ago.
        CopiedRole,
    };
    enum class RowKind { title, entry };

    explicit HistoryListModel(QObject* parent = nullptr);

    // `now` and `timeZone` decide the days; `locale` the search and the day titles.
    void setHistory(const QList<HistoryEntry>& history, const QDateTime& now,
                    const QTimeZone& timeZone = QTimeZone::systemTimeZone(), const QLocale& locale = QLocale());
    void setQuery(const QString& query);
    // Moves "today" on; the titles change, the days of the entries do not.
    void setNow(const QDateTime& now);
    void setCopied(const QUuid& id);

    const QList<HistoryEntry>& history() const { return m_history; }
    const HistoryFilter& filter() const { return m_filter; }
    // The number of entries shown, without the title rows.
    qsizetype shownCount() const { return m_shownCount; }
    // The entry of a row; nothing for a title row.
    const HistoryEntry* entryAt(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        RowKind kind = RowKind::entry;
        // The history position, or the group's first for a title.
        qsizetype entry = 0;
        QString title;
        bool first = false;
        bool last = false;
    };

    void rebuild();

    QList<HistoryEntry> m_history;
    QList<QString> m_folded;
    QList<QDate> m_days;
    QDateTime m_now;
    QTimeZone m_timeZone;
    QLocale m_locale;
    HistoryFilter m_filter;
    QList<Row> m_rows;
    qsizetype m_shownCount = 0;
    QUuid m_copied;
};

} // namespace sayloom
