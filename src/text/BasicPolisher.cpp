#include "BasicPolisher.h"

#include "TextPattern.h"

namespace sayloom {

namespace {

using namespace Qt::StringLiterals;

const TextPattern& paragraphCommand()
{
    static const TextPattern pattern(u"(?i),?\\s*\\bnew paragraph\\b[,.]?\\s*"_s);
    return pattern;
}

const TextPattern& lineCommand()
{
    static const TextPattern pattern(u"(?i),?\\s*\\bnew line\\b[,.]?\\s*"_s);
    return pattern;
}

const TextPattern& sentenceStart()
{
    static const TextPattern pattern(u"(^|[.!?]\\s+|\\n)([a-z])(?=[a-z']*\\b)"_s);
    return pattern;
}

const TextPattern& fillers()
{
    static const TextPattern pattern(u"(?i)\\b(um+|uh+|erm+|hmm+)\\b[,.]?\\s*"_s);
    return pattern;
}

const TextPattern& stutters()
{
    static const TextPattern pattern(u"(?i)\\b(\\w+)(\\s+\\1\\b)+"_s);
    return pattern;
}

const TextPattern& blankRuns()
{
    static const TextPattern pattern(u"[ \\t]{2,}"_s);
    return pattern;
}

} // namespace

QString applyingSpokenLayout(const QString& text)
{
    return lineCommand().replaced(paragraphCommand().replaced(text, u"\n\n"_s), u"\n"_s);
}

QString finalizedDictation(const QString& text)
{
    const QString capitalised =
            sentenceStart().replaced(applyingSpokenLayout(text), [](const QRegularExpressionMatch& match) -> QString {
                return match.captured(1) + match.captured(2).toUpper();
            });
    // QString::trimmed() removes exactly the Unicode White_Space characters, line breaks included.
    return capitalised.trimmed();
}

QString BasicPolisher::polished(const QString& text)
{
    QString result = fillers().replaced(text, QString());
    result = stutters().replaced(result,
                                 [](const QRegularExpressionMatch& match) -> QString { return match.captured(1); });
    result = blankRuns().replaced(result, u" "_s);
    return finalizedDictation(result);
}

} // namespace sayloom
