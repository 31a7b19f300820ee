#include "text/UserCharacters.h"

#include <QList>
#include <QString>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>
#include <utility>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using Ranges = QList<std::pair<qsizetype, qsizetype>>;

Ranges ours(const QString& text)
{
    Ranges ranges;
    UserCharacters::forEach(text, [&](qsizetype start, qsizetype end) { ranges.append({start, end}); });
    return ranges;
}

Ranges reference(const QString& text)
{
    Ranges ranges;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
        ranges.append({start, end});
        start = end;
    }
    return ranges;
}

// The segmentation must agree with the full Unicode algorithm on what dictation produces.
TEST(UserCharacters, AgreeWithUnicodeSegmentation)
{
    const QStringList samples{
            QString(),
            u"plain ASCII, with digits 123 and tabs\tand CR LF\r\nlines\n\rend"_s,
            u"cafe\u0301 n\u0303o e\u0301\u0302\u0323 \u0301leading mark"_s,
            u"👍🏽 👩‍💻 👨‍👩‍👧‍👦 ❤️ ✌🏿 🏳️‍🌈"_s,
            u"🇫🇷🇩🇪🇮 flags and a lone indicator"_s,
            u"한국어 \u1100\u1161\u11A8 \u1100\u1100\u1161 \uAC00\u11A8"_s,
            u"שָׁלוֹם مَرْحَبًا Привет"_s,
            u"हिन्दी नमस्ते ไทย กำ"_s,
            u"zero\u200bwidth\u200c\u200djoiners \u200e\u200fmarks"_s,
            u"lone \xD800 surrogates \xDC00 here\xD83D"_s,
            u"\u0301\u0301 marks first, then \x01 a control \u0301 and \u2028 separators \u2029 x"_s,
    };
    for (const QString& sample : samples) {
        EXPECT_EQ(ours(sample), reference(sample)) << sample.toStdString();
        EXPECT_EQ(UserCharacters::count(sample), reference(sample).size());
    }
}

} // namespace
} // namespace sayloom
