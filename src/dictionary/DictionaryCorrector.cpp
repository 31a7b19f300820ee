#include "dictionary/DictionaryCorrector.h"

#include "base/UnicodeText.h"

#include <QSet>

#include <algorithm>
#include <bit>
#include <map>
#include <vector>

namespace sayloom {

namespace {

// Running every rule's expression over every transcript costs milliseconds with a large dictionary, almost all of
// it spent on rules that cannot match. Each rule therefore carries a signature: hashes of the case-folded character
// sequences of its parts, every run of four characters (or the whole part when it is shorter). A rule runs only
// when the text contains every one of them, which it must if the expression is to match, since the parts match
// literally, ignoring case.

// Two characters that match each other ignoring case fold to the same value: going through the upper case first
// joins the pairs that simple case folding alone keeps apart (dotless i, long s).
char32_t folded(char32_t c)
{
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? c + 32 : c;
    }
    return QChar::toCaseFolded(QChar::toLower(QChar::toUpper(c)));
}

constexpr qsizetype gramLength = 4;

uint32_t gramHash(const char32_t* begin, const char32_t* end)
{
    uint64_t hash = 0x84222325cbf29ce4ull;
    for (const char32_t* c = begin; c != end; ++c) {
        hash = (hash ^ *c) * 0x9E3779B97F4A7C15ull;
        hash ^= hash >> 29;
    }
    return uint32_t(hash >> 32) ^ uint32_t(hash);
}

std::vector<char32_t> foldedCodePoints(QStringView text)
{
    std::vector<char32_t> result;
    result.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        result.push_back(folded(UnicodeText::nextCodePoint(text, i)));
    }
    return result;
}

// Longer phrases gain nothing from more hashes; the expression still decides.
constexpr size_t maxSignatureHashes = 24;

std::vector<uint32_t> signatureOf(const QStringList& parts)
{
    std::vector<uint32_t> hashes;
    for (const QString& part : parts) {
        const std::vector<char32_t> codePoints = foldedCodePoints(part);
        const char32_t* begin = codePoints.data();
        const qsizetype count = qsizetype(codePoints.size());
        if (count <= gramLength) {
            hashes.push_back(gramHash(begin, begin + count));
            continue;
        }
        for (qsizetype i = 0; i + gramLength <= count && hashes.size() < maxSignatureHashes; ++i) {
            hashes.push_back(gramHash(begin + i, begin + i + gramLength));
        }
    }
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    if (hashes.size() > maxSignatureHashes) {
        hashes.resize(maxSignatureHashes);
    }
    return hashes;
}

// A bit set of every character sequence of one to four characters that the text contains.
class TextSignature {
public:
    explicit TextSignature(QStringView text)
    {
        // Four hashes per character in 64 bits keeps false positives rare; past 8 MB the set is saturated anyway.
        const size_t wanted = std::clamp<size_t>(size_t(text.size()) * 64, 8192, size_t(1) << 26);
        m_bits.assign(std::bit_ceil(wanted) / 64, 0);
        m_mask = uint32_t(m_bits.size() * 64 - 1);
        const std::vector<char32_t> codePoints = foldedCodePoints(text);
        const char32_t* data = codePoints.data();
        for (qsizetype end = 1; end <= qsizetype(codePoints.size()); ++end) {
            for (qsizetype length = 1; length <= std::min(gramLength, end); ++length) {
                set(gramHash(data + end - length, data + end));
            }
        }
    }

    bool containsAll(const uint32_t* begin, const uint32_t* end) const
    {
        return std::all_of(begin, end, [this](uint32_t hash) {
            const uint32_t bit = hash & m_mask;
            return (m_bits[bit >> 6] >> (bit & 63)) & 1;
        });
    }

private:
    void set(uint32_t hash)
    {
        const uint32_t bit = hash & m_mask;
        m_bits[bit >> 6] |= uint64_t(1) << (bit & 63);
    }

    std::vector<uint64_t> m_bits;
    uint32_t m_mask = 0;
};

// Far below the size at which the engine refuses a literal pattern (some 32,000 characters).
constexpr qsizetype eagerCompileLength = 2000;

struct Match {
    qsizetype start;
    qsizetype length;
    qsizetype rule;
};

bool sameText(QStringView matched, const QString& replacement)
{
    if (matched == replacement) {
        return true;
    }
    return matched.toString().normalized(QString::NormalizationForm_C) ==
           replacement.normalized(QString::NormalizationForm_C);
}

} // namespace

struct DictionaryCorrector::Compiled {
    QList<Rule> rules;
    // The signature of rule i is signatures[offsets[i], offsets[i + 1]).
    std::vector<uint32_t> signatures;
    std::vector<size_t> offsets{0};
};

DictionaryCorrector::DictionaryCorrector()
    : m_compiled(std::make_shared<const Compiled>())
{
}

DictionaryCorrector::DictionaryCorrector(const QList<DictionaryEntry>& entries)
{
    struct Candidate {
        const QString* heard;
        const QString* replacement;
    };
    QList<Candidate> candidates;
    candidates.reserve(entries.size() * 2);
    for (const DictionaryEntry& entry : entries) {
        if (entry.heardAs) {
            candidates.append(Candidate{&*entry.heardAs, &entry.phrase});
        }
    }
    // Every phrase also listens for itself, so the written form is enforced in its capitalisation and in its
    // joined-up and hyphenated variants.
    for (const DictionaryEntry& entry : entries) {
        candidates.append(Candidate{&entry.phrase, &entry.phrase});
    }

    auto compiled = std::make_shared<Compiled>();
    QSet<QString> keys;
    for (const Candidate& candidate : candidates) {
        const QStringList candidateParts = parts(*candidate.heard);
        if (candidateParts.isEmpty()) {
            continue;
        }
        const QString key = candidateParts.join(u' ').toLower();
        if (keys.contains(key)) {
            continue;
        }
        keys.insert(key);
        // An escaped literal fails to compile only when it holds a lone surrogate or grows past the engine's size
        // limit. Short patterns are therefore compiled on first use, which keeps building cheap for large
        // dictionaries; the rare long one is compiled now, so a rule exists only if its pattern does.
        if (std::any_of(candidateParts.begin(), candidateParts.end(),
                        [](const QString& part) { return UnicodeText::containsLoneSurrogate(part); })) {
            continue;
        }
        QRegularExpression expression(patternSource(candidateParts), patternOptions);
        if (expression.pattern().size() > eagerCompileLength && !expression.isValid()) {
            continue;
        }
        compiled->rules.append({key, std::move(expression), *candidate.replacement});
        const std::vector<uint32_t> signature = signatureOf(candidateParts);
        compiled->signatures.insert(compiled->signatures.end(), signature.begin(), signature.end());
        compiled->offsets.push_back(compiled->signatures.size());
    }
    m_compiled = std::move(compiled);
}

const QList<DictionaryCorrector::Rule>& DictionaryCorrector::rules() const
{
    return m_compiled->rules;
}

DictionaryCorrector::Result DictionaryCorrector::apply(const QString& text) const
{
    const Compiled& compiled = *m_compiled;
    if (compiled.rules.isEmpty() || text.isEmpty()) {
        return {text, {}};
    }

    // The regular-expression engine refuses invalid UTF-16; a lone surrogate stands in as U+FFFD, which is
    // neither a letter nor a digit either, and positions stay the same.
    const QString subject = UnicodeText::withLoneSurrogatesReplaced(text);
    const TextSignature signature(subject);

    std::vector<Match> matches;
    for (qsizetype r = 0; r < compiled.rules.size(); ++r) {
        const uint32_t* hashes = compiled.signatures.data();
        if (!signature.containsAll(hashes + compiled.offsets[r], hashes + compiled.offsets[r + 1]) ||
            !compiled.rules[r].pattern.isValid()) {
            continue;
        }
        auto iterator = compiled.rules[r].pattern.globalMatch(subject, 0, QRegularExpression::NormalMatch,
                                                              QRegularExpression::DontCheckSubjectStringMatchOption);
        while (iterator.hasNext()) {
            const QRegularExpressionMatch match = iterator.next();
            matches.push_back({match.capturedStart(), match.capturedLength(), r});
        }
    }
    if (matches.empty()) {
        return {text, {}};
    }

    // Longer matches first, then the earlier start; the stable sort keeps rule order for equal ranges.
    std::stable_sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        return a.length != b.length ? a.length > b.length : a.start < b.start;
    });
    std::map<qsizetype, qsizetype> accepted; // start -> end, never overlapping
    std::vector<Match> kept;
    for (const Match& match : matches) {
        const qsizetype end = match.start + match.length;
        auto next = accepted.lower_bound(match.start);
        if (next != accepted.end() && next->first < end) {
            continue;
        }
        if (next != accepted.begin() && std::prev(next)->second > match.start) {
            continue;
        }
        accepted.emplace(match.start, end);
        kept.push_back(match);
    }
    std::sort(kept.begin(), kept.end(), [](const Match& a, const Match& b) { return a.start < b.start; });

    Result result;
    result.text.reserve(text.size() + 16);
    qsizetype cursor = 0;
    for (const Match& match : kept) {
        const QString& replacement = compiled.rules[match.rule].replacement;
        result.text += QStringView(text).sliced(cursor, match.start - cursor);
        const QStringView matched = QStringView(text).sliced(match.start, match.length);
        if (!sameText(matched, replacement)) {
            result.corrections.append(
                    {matched.toString(), replacement, qint64(result.text.size()), qint64(replacement.size())});
        }
        result.text += replacement;
        cursor = match.start + match.length;
    }
    result.text += QStringView(text).sliced(cursor);
    return result;
}

QStringList DictionaryCorrector::parts(QStringView phrase)
{
    QStringList result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < phrase.size();) {
        const qsizetype at = i;
        const char32_t c = UnicodeText::nextCodePoint(phrase, i);
        if (c == u'-' || UnicodeText::isWhiteSpace(c)) {
            if (at > start) {
                result.append(phrase.sliced(start, at - start).toString());
            }
            start = i;
        }
    }
    if (start < phrase.size()) {
        result.append(phrase.sliced(start).toString());
    }
    return result;
}

QString DictionaryCorrector::patternSource(const QStringList& parts)
{
    QStringList escaped;
    escaped.reserve(parts.size());
    for (const QString& part : parts) {
        QString literal;
        literal.reserve(part.size() * 2);
        for (const QChar c : part) {
            const char16_t unit = c.unicode();
            // "\0" followed by digits would read as an octal escape, so NUL gets the unambiguous form.
            if (unit == 0) {
                literal += u"\\x{0}";
                continue;
            }
            // Any other ASCII punctuation is literal behind a backslash; letters, digits, the underscore and every
            // non-ASCII character are literal as they stand.
            if (unit < 0x80 && !c.isLetterOrNumber() && unit != u'_') {
                literal += u'\\';
            }
            literal += c;
        }
        escaped.append(literal);
    }
    return u"(?<![\\p{L}\\p{N}])" + escaped.join(u"(?:\\s*-\\s*|\\s+)?") + u"(?![\\p{L}\\p{N}])";
}

std::optional<QRegularExpression> DictionaryCorrector::pattern(const QStringList& parts)
{
    QRegularExpression expression(patternSource(parts), patternOptions);
    if (!expression.isValid()) {
        return std::nullopt;
    }
    return expression;
}

} // namespace sayloom
