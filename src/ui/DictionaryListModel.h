#pragma once

#include "dictionary/DictionaryEntry.h"
#include "dictionary/DictionaryLint.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QStringList>

namespace sayloom {

// The Dictionary screen's list: the entries the search lets through, newest first, each with its warnings against
// the whole dictionary. Warnings are worked out when a row is first asked for them and kept until the dictionary
// changes, against one index of the dictionary, so a thousand rows cost a thousand quick checks and a keystroke in
// the search none.
class DictionaryListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit DictionaryListModel(QObject* parent = nullptr);

    // Warnings use the system word list; the search folds case under `locale`.
    void setEntries(const QList<DictionaryEntry>& entries, const QLocale& locale = QLocale());
    void setQuery(const QString& query);

    const QList<DictionaryEntry>& entries() const { return m_entries; }
    const QString& query() const { return m_query; }
    // Moves on whenever the dictionary changes, and with it every row's warnings and height.
    quint64 generation() const { return m_generation; }

    const DictionaryEntry* entryAt(const QModelIndex& index) const;
    const QStringList& warningsAt(const QModelIndex& index) const;
    // The row showing the entry with this id, or an invalid index.
    QModelIndex indexOf(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rebuild();

    QList<DictionaryEntry> m_entries;
    QList<DictionaryEntry> m_shown;
    QString m_query;
    QLocale m_locale;
    DictionaryLint::Index m_index{{}};
    mutable QHash<QUuid, QStringList> m_warnings;
    quint64 m_generation = 0;
};

} // namespace sayloom
