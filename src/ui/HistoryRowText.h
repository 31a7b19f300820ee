#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace sayloom {

// What a history row shows besides the text itself: which stretches are underlined as dictionary corrections,
// which are highlighted as search matches, and the meta line under it. Positions are UTF-16 code units.
class HistoryRowText {
public:
    struct Range {
        qsizetype start = 0;
        qsizetype length = 0;

        friend bool operator==(const Range&, const Range&) = default;
    };

    HistoryRowText() = delete;

    // The corrections in the order of their locations, each underlined unless it starts before the end of the one
    // before or reaches past the text; a bad correction from an old or edited file is left plain.
    static QList<Range> underlines(const QString& text, const std::optional<QList<AppliedCorrection>>& corrections);
    // Every match of the (trimmed) query in the text, case-insensitively, not overlapping.
    static QList<Range> highlights(const QString& text, const QString& query);

    // The time of day, the application, the words, the duration and the corrections, those present, between
    // middle dots: "3:04 PM · Slack · 17 words · 0:07 · 2 corrected".
    static QString metaLine(const HistoryEntry& entry, const QTimeZone& timeZone = QTimeZone::systemTimeZone(),
                            const QLocale& locale = QLocale());
    // Minutes and seconds, "0:07"; nothing for a length that is not a time.
    static std::optional<QString> durationText(double seconds);
};

} // namespace sayloom
