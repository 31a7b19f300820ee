#include "StraightforwardCorrector.h"

#include <QSet>

#include <algorithm>

namespace sayloom {

StraightforwardCorrector::StraightforwardCorrector(const QList<DictionaryEntry>& entries)
{
    QList<std::pair<QString, QString>> candidates;
    for (const DictionaryEntry& entry : entries) {
        if (entry.heardAs) {
            candidates.append({*entry.heardAs, entry.phrase});
        }
    }
    for (const DictionaryEntry& entry : entries) {
        candidates.append({entry.phrase, entry.phrase});
    }
    QSet<QString> keys;
    for (const auto& [heard, replacement] : candidates) {
        const QStringList parts = DictionaryCorrector::parts(heard);
        if (parts.isEmpty()) {
            continue;
        }
        const QString key = parts.join(u' ').toLower();
        if (keys.contains(key)) {
            continue;
        }
        keys.insert(key);
        if (auto pattern = DictionaryCorrector::pattern(parts)) {
            m_rules.append({*pattern, replacement});
        }
    }
}

DictionaryCorrector::Result StraightforwardCorrector::apply(const QString& text) const
{
    if (m_rules.isEmpty() || text.isEmpty()) {
        return {text, {}};
    }
    // Lone surrogates are not valid UTF-16 for the expression engine; U+FFFD keeps every position.
    QString subject = text;
    for (qsizetype i = 0; i < subject.size(); ++i) {
        if (subject[i].isHighSurrogate() && i + 1 < subject.size() && subject[i + 1].isLowSurrogate()) {
            ++i;
        } else if (subject[i].isSurrogate()) {
            subject[i] = QChar::ReplacementCharacter;
        }
    }

    struct Match {
        qsizetype start, length, rule;
    };
    QList<Match> matches;
    for (qsizetype r = 0; r < m_rules.size(); ++r) {
        auto iterator = m_rules[r].pattern.globalMatch(subject);
        while (iterator.hasNext()) {
            const auto match = iterator.next();
            matches.append({match.capturedStart(), match.capturedLength(), r});
        }
    }
    std::stable_sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        return a.length != b.length ? a.length > b.length : a.start < b.start;
    });
    QList<Match> accepted;
    for (const Match& match : matches) {
        const bool overlaps = std::any_of(accepted.begin(), accepted.end(), [&](const Match& other) {
            return match.start < other.start + other.length && other.start < match.start + match.length;
        });
        if (!overlaps) {
            accepted.append(match);
        }
    }
    std::sort(accepted.begin(), accepted.end(), [](const Match& a, const Match& b) { return a.start < b.start; });

    DictionaryCorrector::Result result;
    qsizetype cursor = 0;
    for (const Match& match : accepted) {
        const QString& replacement = m_rules[match.rule].replacement;
        result.text += text.mid(cursor, match.start - cursor);
        const QString matched = text.mid(match.start, match.length);
        if (matched.normalized(QString::NormalizationForm_C) != replacement.normalized(QString::NormalizationForm_C)) {
            result.corrections.append({matched, replacement, result.text.size(), replacement.size()});
        }
        result.text += replacement;
        cursor = match.start + match.length;
    }
    result.text += text.mid(cursor);
    return result;
}

} // namespace sayloom
