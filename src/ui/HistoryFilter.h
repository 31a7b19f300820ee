#pragma once

#include "history/HistoryEntry.h"

#include <QLocale>
#include <QString>
#include <QStringView>

namespace sayloom {

// The History screen's search: the query without surrounding white space, found case-insensitively (under the
// user's locale) in an entry's final text, its raw transcript or the name of the application it went to. An empty
// query finds everything.
class HistoryFilter {
public:
    explicit HistoryFilter(const QString& query = {}, const QLocale& locale = QLocale());

    bool isEmpty() const { return m_query.isEmpty(); }
    // The trimmed query, as the rows highlight it.
    const QString& query() const { return m_query; }

    bool matches(const HistoryEntry& entry) const;

    // What matchesFolded() searches: the entry's three fields lower-cased under the locale. A list that filters
    // on every keystroke keeps this per entry, so typing does not lower-case the whole history again.
    static QString folded(const HistoryEntry& entry, const QLocale& locale = QLocale());
    bool matchesFolded(QStringView folded) const;

private:
    QString m_query;
    QString m_foldedQuery;
    QLocale m_locale;
};

} // namespace sayloom
