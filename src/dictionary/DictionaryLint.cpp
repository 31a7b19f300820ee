#include "dictionary/DictionaryLint.h"

#include "base/UnicodeText.h"
#include "dictionary/CommonWords.h"
#include "dictionary/DictionaryCorrector.h"
#include "dictionary/EnglishWords.h"

#include <algorithm>

namespace sayloom {

namespace {

QString quoted(const QString& text)
{
    return u"\u201C" + text + u"\u201D";
}

} // namespace

QStringList DictionaryLint::warnings(const DictionaryEntry& entry, const QList<DictionaryEntry>& entries)
{
    return warnings(entry, entries, EnglishWords::words());
}

QStringList DictionaryLint::warnings(const DictionaryEntry& entry, const QList<DictionaryEntry>& entries,
                                     const QSet<QString>& englishWords)
{
    const QString heard = entry.heard().toLower();
    const bool duplicate = std::any_of(entries.begin(), entries.end(), [&](const DictionaryEntry& other) {
        return UnicodeText::lowerCasedEquals(other.heard(), heard) && other.id != entry.id;
    });
    return check(entry, duplicate, englishWords);
}

DictionaryLint::Index::Index(const QList<DictionaryEntry>& entries)
{
    m_ids.reserve(entries.size());
    for (const DictionaryEntry& entry : entries) {
        m_ids[entry.heard().toLower()].append(entry.id);
    }
}

bool DictionaryLint::Index::hasOtherWithSameHeard(const DictionaryEntry& entry) const
{
    const auto found = m_ids.constFind(entry.heard().toLower());
    if (found == m_ids.constEnd()) {
        return false;
    }
    return std::any_of(found->begin(), found->end(), [&](const QUuid& id) { return id != entry.id; });
}

QStringList DictionaryLint::warnings(const DictionaryEntry& entry, const Index& index)
{
    return warnings(entry, index, EnglishWords::words());
}

QStringList DictionaryLint::warnings(const DictionaryEntry& entry, const Index& index,
                                     const QSet<QString>& englishWords)
{
    return check(entry, index.hasOtherWithSameHeard(entry), englishWords);
}

QStringList DictionaryLint::check(const DictionaryEntry& entry, bool duplicate, const QSet<QString>& englishWords)
{
    QStringList parts = DictionaryCorrector::parts(entry.heard());
    if (parts.isEmpty()) {
        return {};
    }
    for (QString& part : parts) {
        part = part.toLower();
    }
    const QString key = parts.join(u' ');
    const QSet<QString>& common = CommonWords::words();
    QStringList result;

    if (!entry.heardAs && parts.size() == 1 && common.contains(key) && entry.phrase != key) {
        result.append(quoted(key) + u" is a common word. Every " + quoted(key) + u" will be written as " +
                      quoted(entry.phrase) + u".");
    }

    if (entry.heardAs && entry.heardAs->compare(entry.phrase, Qt::CaseInsensitive) != 0) {
        if (parts.size() == 1 && common.contains(key)) {
            result.append(quoted(key) +
                          u" is one of the most common English words. This would change it in almost every take.");
        } else if (parts.size() == 1 && englishWords.contains(key)) {
            result.append(quoted(key) + u" is an ordinary word, so every " + quoted(key) + u" you say will become " +
                          quoted(entry.phrase) + u". A longer phrase is safer.");
        } else if (parts.size() >= 2 && std::all_of(parts.begin(), parts.end(),
                                                    [&](const QString& part) { return common.contains(part); })) {
            result.append(quoted(key) + u" is an everyday phrase. It will be rewritten wherever you say it.");
        }
    }

    if (parts.size() >= 2) {
        const QString joined = parts.join(QString());
        if (englishWords.contains(joined) || common.contains(joined)) {
            result.append(u"Also matches the ordinary word " + quoted(joined) +
                          u", because joined-up spellings are caught too.");
        }
    }

    if (UnicodeText::letterCount(key) < 3) {
        result.append(
                QStringLiteral("Very short entries match often. Check this doesn't catch initials or abbreviations."));
    }

    if (duplicate) {
        result.append(u"Another entry already listens for " + quoted(entry.heard()) + u".");
    }
    return result;
}

} // namespace sayloom
