// Feeds arbitrary dictionary files and transcripts to the file format, the corrector and the lint, and stops at the
// first broken promise.
//
// Input layout: the last byte holds flags; the dictionary text runs from the start to the first backslash that is
// not doubled (a doubled one stands for a single backslash), the transcript is the rest. Each text is UTF-8, invalid
// sequences becoming U+FFFD, or raw UTF-16 when its flag is set, which is how lone surrogates get in.

#include "base/UnicodeText.h"
#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryEntry.h"
#include "dictionary/DictionaryFile.h"
#include "dictionary/DictionaryLint.h"
#include "support/StraightforwardCorrector.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace sayloom {

namespace {

// Past these sizes a run only gets slower, not more interesting: the straightforward corrector compiles every
// pattern on every run.
constexpr size_t maxInputSize = 4096;
constexpr qsizetype maxEntries = 50;

constexpr std::uint8_t dictionaryIsUtf16 = 1;
constexpr std::uint8_t transcriptIsUtf16 = 2;
constexpr std::uint8_t useMadeEntries = 4;

constexpr QStringView separators[] = {u"->", u"\u2192", u"=>"};

struct Input {
    QString dictionary;
    QString transcript;
};

const Input* currentInput = nullptr;

// Printable on any terminal, so a failure can be turned into a test case by hand.
std::string escaped(QStringView text)
{
    std::string result;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\') {
            result += "\\\\";
        } else if (u >= 0x20 && u < 0x7F) {
            result += char(u);
        } else if (u == u'\n') {
            result += "\\n";
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(u));
            result += buffer;
        }
    }
    return result;
}

[[noreturn]] void fail(const char* what, QStringView detail = {})
{
    std::fprintf(stderr, "\nbroken: %s\n", what);
    if (!detail.isEmpty()) {
        std::fprintf(stderr, "  detail: \"%s\"\n", escaped(detail).c_str());
    }
    if (currentInput) {
        std::fprintf(stderr, "  dictionary: \"%s\"\n", escaped(currentInput->dictionary).c_str());
        std::fprintf(stderr, "  transcript: \"%s\"\n", escaped(currentInput->transcript).c_str());
    }
    std::abort();
}

void require(bool condition, const char* what, QStringView detail = {})
{
    if (!condition) {
        fail(what, detail);
    }
}

QString decoded(const std::string& bytes, bool utf16)
{
    if (!utf16) {
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    QString text(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    std::memcpy(text.data(), bytes.data(), size_t(text.size()) * 2);
    return text;
}

bool containsLineBreak(QStringView text)
{
    for (const QChar c : text) {
        if (UnicodeText::isLineBreak(c.unicode())) {
            return true;
        }
    }
    return false;
}

bool containsSeparator(QStringView text)
{
    for (const QStringView separator : separators) {
        if (text.contains(separator)) {
            return true;
        }
    }
    return false;
}

// One line's worth of text: what the file can hold without it changing meaning when read back.
bool isCleanField(QStringView text)
{
    return !text.isEmpty() && UnicodeText::trimmedBlanks(text) == text && !containsLineBreak(text);
}

// The conditions under which an entry survives a write and a read unchanged.
bool survivesRoundTrip(const DictionaryEntry& entry)
{
    if (!isCleanField(entry.phrase)) {
        return false;
    }
    if (!entry.heardAs) {
        return !entry.phrase.startsWith(u'#') && !containsSeparator(entry.phrase);
    }
    // A line that starts with "#" is a comment, whatever follows.
    return isCleanField(*entry.heardAs) && !entry.heardAs->startsWith(u'#') && !containsSeparator(*entry.heardAs);
}

bool sameContents(const QList<DictionaryEntry>& a, const QList<DictionaryEntry>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].phrase != b[i].phrase || a[i].heardAs != b[i].heardAs) {
            return false;
        }
    }
    return true;
}

void checkRoundTrip(const QList<DictionaryEntry>& entries, const char* what)
{
    const QString written = DictionaryFile::serialize(entries);
    require(written.startsWith(DictionaryFile::header()), "serialize starts with the header");
    require(sameContents(DictionaryFile::parse(written), entries), what, written);
}

void checkParse(const QString& text)
{
    const QList<DictionaryEntry> parsed = DictionaryFile::parse(text);
    for (const DictionaryEntry& entry : parsed) {
        require(isCleanField(entry.phrase), "a parsed phrase is trimmed, non-empty and one line", entry.phrase);
        if (!entry.heardAs) {
            require(!entry.phrase.startsWith(u'#') && !containsSeparator(entry.phrase),
                    "a parsed word is neither a comment nor a correction", entry.phrase);
            continue;
        }
        // Weaker than survivesRoundTrip(): in "a => b -> c" the first separator tried wins, so "a => b" is heard.
        require(isCleanField(*entry.heardAs) && !entry.heardAs->startsWith(u'#') && !entry.heardAs->contains(u"->"),
                "a parsed heard form is trimmed, one line and ends at the first separator", *entry.heardAs);
    }
    checkRoundTrip(parsed, "parse, serialize, parse keeps every entry");
}

// Entries as the app could make them, one per "\n"-separated piece, "heard|written" for a correction. Nothing is
// cleaned, so they include what the file cannot hold.
QList<DictionaryEntry> madeEntries(const QString& text)
{
    QList<DictionaryEntry> entries;
    for (const QStringView piece : QStringView(text).split(u'\n')) {
        const qsizetype bar = piece.indexOf(u'|');
        if (bar < 0) {
            entries.append(DictionaryEntry(piece.toString()));
        } else {
            entries.append(DictionaryEntry(piece.sliced(bar + 1).toString(), piece.first(bar).toString()));
        }
    }
    return entries;
}

void checkMadeEntriesRoundTrip(const QList<DictionaryEntry>& made)
{
    QList<DictionaryEntry> clean;
    for (const DictionaryEntry& entry : made) {
        if (survivesRoundTrip(entry)) {
            clean.append(entry);
        }
    }
    checkRoundTrip(clean, "entries the file can hold survive serialize and parse");
}

// Undoing every reported correction must give back the original text, up to canonically equivalent spellings:
// a match that differs from its replacement only in normalisation is rewritten without a report.
void checkUndo(const QString& text, const DictionaryCorrector::Result& result)
{
    QString undone;
    qsizetype cursor = 0;
    for (const AppliedCorrection& correction : result.corrections) {
        undone += QStringView(result.text).sliced(cursor, qsizetype(correction.location) - cursor);
        undone += correction.heard;
        cursor = qsizetype(correction.location + correction.length);
    }
    undone += QStringView(result.text).sliced(cursor);
    if (undone != text) {
        require(undone.normalized(QString::NormalizationForm_C) == text.normalized(QString::NormalizationForm_C),
                "undoing the reported corrections restores the text", undone);
    }
}

void checkCorrection(const DictionaryCorrector& corrector, const StraightforwardCorrector& oracle, const QString& text)
{
    const DictionaryCorrector::Result result = corrector.apply(text);
    qint64 previousEnd = 0;
    for (const AppliedCorrection& correction : result.corrections) {
        require(correction.location >= previousEnd, "corrections are in order and never overlap");
        require(correction.length == correction.written.size(), "a correction's length is its written form's");
        require(correction.location + correction.length <= result.text.size(), "a correction lies inside the text");
        require(QStringView(result.text).sliced(qsizetype(correction.location), qsizetype(correction.length)) ==
                        correction.written,
                "a correction's range spells its written form", correction.written);
        require(!correction.heard.isEmpty(), "a correction replaced something");
        previousEnd = correction.location + correction.length;
    }
    checkUndo(text, result);

    const DictionaryCorrector::Result expected = oracle.apply(text);
    require(result.text == expected.text, "the corrector writes what the straightforward one writes", expected.text);
    require(result.corrections == expected.corrections, "the corrector reports what the straightforward one reports");

    const DictionaryCorrector::Result unchanged = DictionaryCorrector().apply(text);
    require(unchanged.text == text && unchanged.corrections.isEmpty(), "an empty dictionary changes nothing");
}

} // namespace

} // namespace sayloom

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    using namespace sayloom;
    if (size > maxInputSize) {
        return -1;
    }
    FuzzedDataProvider provider(data, size);
    const auto flags = provider.ConsumeIntegral<std::uint8_t>();
    const std::string dictionaryBytes = provider.ConsumeRandomLengthString(size);
    const std::string transcriptBytes = provider.ConsumeRemainingBytesAsString();
    const Input input{decoded(dictionaryBytes, flags & dictionaryIsUtf16),
                      decoded(transcriptBytes, flags & transcriptIsUtf16)};
    currentInput = &input;

    checkParse(input.dictionary);
    const QList<DictionaryEntry> made = madeEntries(input.dictionary);
    checkMadeEntriesRoundTrip(made);

    // Either the file as the app reads it or entries as its editor could make them, which the file cannot always hold.
    QList<DictionaryEntry> entries = (flags & useMadeEntries) ? made : DictionaryFile::parse(input.dictionary);
    if (entries.size() > maxEntries) {
        entries.remove(maxEntries, entries.size() - maxEntries);
    }
    const DictionaryCorrector corrector(entries);
    const StraightforwardCorrector oracle(entries);
    checkCorrection(corrector, oracle, input.transcript);
    // The dictionary text is full of heard forms, so it exercises the matching even when the transcript is noise.
    checkCorrection(corrector, oracle, input.dictionary);

    for (const DictionaryEntry& entry : entries) {
        DictionaryLint::warnings(entry, entries);
    }
    currentInput = nullptr;
    return 0;
}
