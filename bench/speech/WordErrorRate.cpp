#include "WordErrorRate.h"

#include <algorithm>
#include <vector>

namespace sayloom::WordErrorRate {

QStringList words(const QString& text)
{
    QString spaced = text.toLower();
    for (QChar& c : spaced) {
        if (!c.isLetterOrNumber() && c != u'\'' && c != u'\u2019') {
            c = u' ';
        } else if (c == u'\u2019') {
            c = u'\'';
        }
    }
    QStringList result;
    for (QString word : spaced.split(u' ', Qt::SkipEmptyParts)) {
        while (word.startsWith(u'\'')) {
            word.remove(0, 1);
        }
        while (word.endsWith(u'\'')) {
            word.chop(1);
        }
        if (!word.isEmpty()) {
            result.append(word);
        }
    }
    return result;
}

int editDistance(const QStringList& reference, const QStringList& hypothesis)
{
    // One row of the Levenshtein table at a time.
    std::vector<int> previous(std::size_t(hypothesis.size()) + 1);
    std::vector<int> current(previous.size());
    for (std::size_t j = 0; j < previous.size(); ++j) {
        previous[j] = int(j);
    }
    for (qsizetype i = 0; i < reference.size(); ++i) {
        current[0] = int(i) + 1;
        for (qsizetype j = 0; j < hypothesis.size(); ++j) {
            const int substitution = previous[std::size_t(j)] + (reference[i] == hypothesis[j] ? 0 : 1);
            current[std::size_t(j) + 1] =
                    std::min({substitution, previous[std::size_t(j) + 1] + 1, current[std::size_t(j)] + 1});
        }
        std::swap(previous, current);
    }
    return previous.back();
}

bool mentions(const QStringList& transcript, const QStringList& name)
{
    if (name.isEmpty() || name.size() > transcript.size()) {
        return false;
    }
    for (qsizetype start = 0; start + name.size() <= transcript.size(); ++start) {
        if (std::equal(name.begin(), name.end(), transcript.begin() + start)) {
            return true;
        }
    }
    return false;
}

} // namespace sayloom::WordErrorRate
