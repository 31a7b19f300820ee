#pragma once

#include <QRect>

class QListView;
class QPainter;
class QStyleOptionViewItem;
class QTextLayout;

namespace sayloom {

struct DesignTokens;

// Rows of a list view drawn as cards on the window's ground: a run of rows from `first` to `last` makes one card,
// inset from the view's sides, with hairlines between the rows. The list delegates measure and paint through these,
// so every list of cards has the same margins, corners and states.
class CardRows {
public:
    CardRows() = delete;

    // Makes `list` a column of card rows on the window's ground: no frame, smooth scrolling, rows as wide as the
    // list and of their own heights, hover followed, a context menu of the caller's.
    static void setUpList(QListView& list);

    // The width a row's content gets in a viewport this wide.
    static int contentWidth(int viewportWidth);
    // Where a row's content goes inside its rectangle.
    static QRect contentRect(const QRect& rowRect, bool first, bool last);
    // A row's height for content this tall.
    static int rowHeight(int contentHeight, bool first, bool last);

    // The card behind one row: its part of the rounded card, the selection tint (`selectedAlpha` of the accent; none
    // when zero), the hover shade and the hairline above it. Returns the card's rectangle for paintFocus().
    static QRect paintGround(QPainter& painter, const QStyleOptionViewItem& option, const DesignTokens& tokens,
                             bool first, bool last, float selectedAlpha);
    // The keyboard focus ring inside a row's card.
    static void paintFocus(QPainter& painter, const QRect& card, const DesignTokens& tokens);

    // Lays `layout` out in lines of `width`, breaking between words where it can; returns the height of the lines.
    // Measuring and painting share it, so a row is exactly as tall as what it draws.
    static qreal wrap(QTextLayout& layout, int width);
};

} // namespace sayloom
