#pragma once

#include "dictionary/AppliedCorrection.h"
#include "dictionary/DictionaryEntry.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace sayloom {

// The compiled dictionary: enforces every entry on a text, as whole words in any capitalisation, also joined up
// ("CloudCode") or hyphenated ("cloud-code"). Immutable once built; copies share the compiled rules, and apply()
// may run on any thread, also concurrently.
class DictionaryCorrector {
public:
    struct Rule {
        // The lower-cased parts joined by single spaces; the first candidate with a key wins it.
        QString key;
        QRegularExpression pattern;
        QString replacement;
    };

    struct Result {
        QString text;
        // In the order of their position in `text`.
        QList<AppliedCorrection> corrections;
    };

    DictionaryCorrector();
    explicit DictionaryCorrector(const QList<DictionaryEntry>& entries);

    Result apply(const QString& text) const;

    const QList<Rule>& rules() const;

    // Cuts a phrase at white space and at hyphen-minus, dropping empty pieces.
    static QStringList parts(QStringView phrase);
    // The pattern source for a list of parts: literal parts, each gap optional white space or a hyphen, and no
    // letter or digit on either side.
    static QString patternSource(const QStringList& parts);
    // The compiled pattern, or nothing when the parts cannot form one.
    static std::optional<QRegularExpression> pattern(const QStringList& parts);

    static constexpr QRegularExpression::PatternOptions patternOptions =
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

private:
    struct Compiled;
    std::shared_ptr<const Compiled> m_compiled;
};

} // namespace sayloom
