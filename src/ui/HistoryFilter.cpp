#include "ui/HistoryFilter.h"

namespace sayloom {

namespace {

// Between the fields of a folded entry, so that a query never matches across two of them. A noncharacter: no text
// a person types or pastes carries it, and it is taken out of a query that does.
constexpr char16_t fieldSeparator = u'\uffff';

} // namespace

HistoryFilter::HistoryFilter(const QString& query, const QLocale& locale)
    : m_query(query.trimmed())
    , m_locale(locale)
{
    m_foldedQuery = m_locale.toLower(m_query).remove(QChar(fieldSeparator));
}

bool HistoryFilter::matches(const HistoryEntry& entry) const
{
    return isEmpty() || matchesFolded(folded(entry, m_locale));
}

QString HistoryFilter::folded(const HistoryEntry& entry, const QLocale& locale)
{
    QString fields = entry.text + QChar(fieldSeparator) + entry.raw;
    if (entry.appName) {
        fields += QChar(fieldSeparator) + *entry.appName;
    }
    return locale.toLower(fields);
}

bool HistoryFilter::matchesFolded(QStringView folded) const
{
    return isEmpty() || folded.contains(m_foldedQuery);
}

} // namespace sayloom
