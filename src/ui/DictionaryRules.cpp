#include "ui/DictionaryRules.h"

#include "base/UnicodeText.h"

#include <algorithm>

namespace sayloom {

namespace {

// The separators the file's reader looks for, in the order it tries them.
constexpr QStringView separators[] = {u"->", u"\u2192", u"=>"};
// A correction is always written with this one, which the reader tries first.
constexpr QStringView writtenSeparator = u"->";

QString quoted(QStringView text)
{
    return u"\u201C" + text.toString() + u"\u201D";
}

bool hasLineBreak(QStringView text)
{
    for (qsizetype i = 0; i < text.size();) {
        if (UnicodeText::isLineBreak(UnicodeText::nextCodePoint(text, i))) {
            return true;
        }
    }
    return false;
}

bool contains(QStringView text, QStringView part, const QLocale& locale)
{
    return locale.toLower(text.toString()).contains(part);
}

} // namespace

DictionaryFields DictionaryFields::of(const DictionaryEntry& entry)
{
    return {entry.kind(), entry.phrase, entry.heardAs.value_or(QString())};
}

QList<DictionaryEntry> DictionaryRules::results(const QList<DictionaryEntry>& entries, const QString& query,
                                                const QLocale& locale)
{
    const QString wanted = locale.toLower(UnicodeText::trimmedBlanks(query).toString());
    QList<DictionaryEntry> shown;
    shown.reserve(entries.size());
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (wanted.isEmpty() || contains(it->phrase, wanted, locale) ||
            (it->heardAs && contains(*it->heardAs, wanted, locale))) {
            shown.append(*it);
        }
    }
    return shown;
}

std::optional<DictionaryEntry> DictionaryRules::draft(const DictionaryFields& fields,
                                                      const std::optional<DictionaryEntry>& existing)
{
    const QString phrase = UnicodeText::trimmedBlanks(fields.phrase).toString();
    const QString heard = UnicodeText::trimmedBlanks(fields.heardAs).toString();
    const bool correction = fields.kind == DictionaryEntry::Kind::correction;
    if (phrase.isEmpty() || (correction && heard.isEmpty())) {
        return std::nullopt;
    }
    return DictionaryEntry(phrase, correction ? std::optional(heard) : std::nullopt,
                           existing ? existing->id : QUuid::createUuid());
}

std::optional<QString> DictionaryRules::refusal(const DictionaryFields& fields)
{
    const QStringView phrase = UnicodeText::trimmedBlanks(fields.phrase);
    const QStringView heard = UnicodeText::trimmedBlanks(fields.heardAs);
    const bool correction = fields.kind == DictionaryEntry::Kind::correction;
    const QString what = correction ? QStringLiteral("A correction") : QStringLiteral("A word");

    if (hasLineBreak(phrase) || (correction && hasLineBreak(heard))) {
        return what + u" can't contain a line break: the dictionary file keeps one entry per line.";
    }
    if (UnicodeText::containsLoneSurrogate(phrase) || (correction && UnicodeText::containsLoneSurrogate(heard))) {
        return what + u" can't contain a broken character: the dictionary file can't store it.";
    }
    // The line of a word is its phrase; the line of a correction starts with what is said.
    const QStringView lineStart = correction ? heard : phrase;
    const QString field = correction ? QStringLiteral("What you say") : QStringLiteral("A word");
    if (lineStart.startsWith(u'#')) {
        return field + u" can't start with " + quoted(u"#") + u": the dictionary file reads that line as a comment.";
    }
    if (!correction) {
        const auto found = std::find_if(std::begin(separators), std::end(separators),
                                        [&](QStringView separator) { return phrase.contains(separator); });
        if (found != std::end(separators)) {
            return u"A word can't contain " + quoted(*found) +
                   u": the dictionary file reads that line as a correction. Choose Correction to write one.";
        }
    } else if (heard.contains(writtenSeparator)) {
        // The phrase may hold any separator: the reader splits at the first "->", which comes before it.
        return u"What you say can't contain " + quoted(writtenSeparator) +
               u": the dictionary file puts it between what you say and what to write.";
    }
    return std::nullopt;
}

} // namespace sayloom
