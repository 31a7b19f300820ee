#include "text/BasicPolisher.h"

#include "text/TextPattern.h"

namespace sayloom {

namespace {

using namespace Qt::StringLiterals;

// Compiled once, on first use; a function-level static also keeps them clear of static initialisation order.
struct Patterns {
    TextPattern paragraphCommand{u"(?i),?\\s*\\bnew paragraph\\b[,.]?\\s*"_s};
    TextPattern lineCommand{u"(?i),?\\s*\\bnew line\\b[,.]?\\s*"_s};
    TextPattern sentenceStart{u"(^|[.!?]\\s+|\\n)([a-z])(?=[a-z']*\\b)"_s};
    TextPattern fillers{u"(?i)\\b(um+|uh+|erm+|hmm+)\\b[,.]?\\s*"_s};
    TextPattern stutters{u"(?i)\\b(\\w+)(\\s+\\1\\b)+"_s};
    TextPattern blankRuns{u"[ \\t]{2,}"_s};
};

const Patterns& patterns()
{
    static const Patterns compiled;
    return compiled;
}

} // namespace

QString applyingSpokenLayout(const QString& text)
{
    return patterns().lineCommand.replaced(patterns().paragraphCommand.replaced(text, u"\n\n"_s), u"\n"_s);
}

QString finalizedDictation(const QString& text)
{
    const QString capitalised = patterns().sentenceStart.replaced(
            applyingSpokenLayout(text), [](const QRegularExpressionMatch& match) -> QString {
                return match.captured(1) + match.captured(2).toUpper();
            });
    // QString::trimmed() removes exactly the Unicode White_Space characters, line breaks included.
    return capitalised.trimmed();
}

QString BasicPolisher::polished(const QString& text)
{
    QString result = patterns().fillers.replaced(text, QString());
    result = patterns().stutters.replaced(
            result, [](const QRegularExpressionMatch& match) -> QString { return match.captured(1); });
    result = patterns().blankRuns.replaced(result, u" "_s);
    return finalizedDictation(result);
}

} // namespace sayloom
