#include "dictionary/DictionarySelfTest.h"

#include "dictionary/DictionaryLint.h"

#include <cstdio>

namespace sayloom {

namespace {

struct CorrectionCase {
    const char16_t* input;
    const char16_t* expected;
    qsizetype corrections;
};

constexpr CorrectionCase correctionCases[] = {
        {u"open cloud code please", u"open Claude Code please", 1},
        {u"I use CloudCode daily", u"I use Claude Code daily", 1},
        {u"Cloud-Code is great", u"Claude Code is great", 1},
        {u"cloud - code works", u"Claude Code works", 1},
        {u"claudecode docs", u"Claude Code docs", 1},
        {u"claude code's docs", u"Claude Code's docs", 1},
        {u"ask claude code now", u"ask Claude Code now", 1},
        {u"ask claude now", u"ask Claude now", 1},
        {u"Cloudflare is down", u"Cloudflare is down", 0},
        {u"the cloud is down", u"the cloud is down", 0},
        {u"my code is in the cloud", u"my code is in the cloud", 0},
        {u"cloud coder and cloudcoding", u"cloud coder and cloudcoding", 0},
        {u"superbases and supabaseline", u"superbases and supabaseline", 0},
        {u"move to super base and superbase", u"move to Supabase and Supabase", 2},
        {u"built with next.js", u"built with Next.js", 1},
        {u"Already Claude Code here", u"Already Claude Code here", 0},
        {u"ping velda, Velda!", u"ping Velda, Velda!", 1},
        {u"", u"", 0},
};

struct LintCase {
    DictionaryEntry entry;
    bool warns;
};

QList<LintCase> lintCases()
{
    return {
            {DictionaryEntry(QStringLiteral("Norva"), QStringLiteral("the")), true},
            {DictionaryEntry(QStringLiteral("Claude"), QStringLiteral("cloud")), true},
            {DictionaryEntry(QStringLiteral("Anyone Inc"), QStringLiteral("any one")), true},
            {DictionaryEntry(QStringLiteral("Will")), true},
            {DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")), false},
            {DictionaryEntry(QStringLiteral("Supabase")), false},
            {DictionaryEntry(QStringLiteral("Anthropic")), false},
            {DictionaryEntry(QStringLiteral("Velda"), QStringLiteral("velda")), false},
    };
}

bool rangesSpellWritten(const DictionaryCorrector::Result& result)
{
    for (const AppliedCorrection& correction : result.corrections) {
        if (correction.location < 0 || correction.length < 0 ||
            correction.location + correction.length > result.text.size() ||
            QStringView(result.text).sliced(correction.location, correction.length) != correction.written) {
            return false;
        }
    }
    return true;
}

QString escapedForList(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'"', QStringLiteral("\\\""));
    return u'"' + text + u'"';
}

} // namespace

QList<DictionaryEntry> DictionarySelfTest::testDictionary()
{
    return {
            DictionaryEntry(QStringLiteral("Claude")),
            DictionaryEntry(QStringLiteral("Claude Code")),
            DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")),
            DictionaryEntry(QStringLiteral("Supabase")),
            DictionaryEntry(QStringLiteral("Supabase"), QStringLiteral("super base")),
            DictionaryEntry(QStringLiteral("Next.js")),
            DictionaryEntry(QStringLiteral("Velda"), QStringLiteral("velda")),
    };
}

DictionarySelfTest::Subject DictionarySelfTest::standardSubject()
{
    const DictionaryCorrector corrector(testDictionary());
    return {
            [corrector](const QString& text) { return corrector.apply(text); },
            [](const DictionaryEntry& entry) { return DictionaryLint::warnings(entry, {}); },
    };
}

bool DictionarySelfTest::run()
{
    return run(standardSubject(), [](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    });
}

bool DictionarySelfTest::run(const Subject& subject, const std::function<void(const QString&)>& printLine)
{
    bool passed = true;
    for (const CorrectionCase& test : correctionCases) {
        const QString input = QString::fromUtf16(test.input);
        const QString expected = QString::fromUtf16(test.expected);
        const DictionaryCorrector::Result result = subject.correct(input);
        if (result.text == expected && result.corrections.size() == test.corrections && rangesSpellWritten(result)) {
            continue;
        }
        passed = false;
        printLine(u"FAIL  \"" + input + u"\" -> \"" + result.text + u"\" (" +
                  QString::number(result.corrections.size()) + u" fixes), expected \"" + expected + u"\" (" +
                  QString::number(test.corrections) + u")");
    }
    for (const LintCase& test : lintCases()) {
        const QStringList warnings = subject.lint(test.entry);
        if (!warnings.isEmpty() == test.warns) {
            continue;
        }
        passed = false;
        QStringList listed;
        for (const QString& warning : warnings) {
            listed.append(escapedForList(warning));
        }
        printLine(u"FAIL  lint " + test.entry.heard() + u" -> " + test.entry.phrase + u": [" + listed.join(u", ") +
                  u"]");
    }
    if (passed) {
        printLine(u"PASS  " + QString::number(std::size(correctionCases)) + u" correction cases, " +
                  QString::number(lintCases().size()) + u" warning cases");
    } else {
        printLine(QStringLiteral("FAILED"));
    }
    return passed;
}

} // namespace sayloom
