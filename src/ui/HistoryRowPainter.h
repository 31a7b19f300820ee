#pragma once

#include "history/HistoryEntry.h"

#include <QFont>
#include <QList>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QTimeZone>

class QPainter;

namespace sayloom {

// Draws one dictation as the history shows it: the final text with its corrections underlined and the search
// matches highlighted, the corrections as chips, the meta line, and the copy button at the top right. Painted
// rather than built from widgets, so a list of a thousand rows costs only the rows on screen; the row widget on
// Home and the History list's delegate share it, so both look the same.
class HistoryRowPainter {
public:
    struct State {
        QString query;
        bool copied = false;
        bool hovering = false;
        // The row widget puts a real button there instead.
        bool paintCopyButton = true;
    };

    HistoryRowPainter();

    int heightForWidth(const HistoryEntry& entry, int width) const;
    void paint(QPainter& painter, const QRect& rect, const HistoryEntry& entry, const QPalette& palette,
               const State& state) const;
    // Where the copy button sits in a row drawn in `rect`.
    QRect copyButtonRect(const QRect& rect) const;

    // Where the text itself is drawn in a row drawn in `rect`, for an editor that lets the user select in it.
    QRect textRect(const QRect& rect, const HistoryEntry& entry) const;
    const QFont& bodyFont() const { return m_body; }

    static QString copyTitle(bool copied);
    static QString copySymbol(bool copied);

private:
    int textWidth(int width) const;
    int textHeight(const QString& text, int width) const;
    // Places the chips of `entry` from `origin` within `width`; returns the height they take.
    // Where each correction chip goes, flowing onto new lines within `width`, relative to the chips' origin.
    QList<QRect> chipRects(const HistoryEntry& entry, int width) const;
    int chipsHeight(const HistoryEntry& entry, int width) const;
    void paintChips(QPainter& painter, const HistoryEntry& entry, const QPoint& origin, int width,
                    const QPalette& palette) const;
    void paintText(QPainter& painter, const QRect& rect, const HistoryEntry& entry, const QPalette& palette,
                   const QString& query) const;
    void paintCopyButton(QPainter& painter, const QRect& rect, const QPalette& palette, const State& state) const;

    QFont m_body;
    QFont m_caption;
    QTimeZone m_timeZone;
};

} // namespace sayloom
