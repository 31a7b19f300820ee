#include "ui/design/CardRows.h"

#include "ui/design/DesignTokens.h"

#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTextLayout>

#include <algorithm>

namespace sayloom {

namespace {

constexpr int side = Spacing::xl;
constexpr int inset = Spacing::l;

int above(bool first)
{
    return first ? Spacing::l : Spacing::m;
}

int below(bool last)
{
    return last ? Spacing::l : Spacing::m;
}

} // namespace

void CardRows::setUpList(QListView& list)
{
    list.setFrameShape(QFrame::NoFrame);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list.verticalScrollBar()->setSingleStep(24);
    // Rows take the list's width and wrap their text; nothing is wider.
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setResizeMode(QListView::Adjust);
    list.setUniformItemSizes(false);
    list.setMouseTracking(true);
    list.setContextMenuPolicy(Qt::CustomContextMenu);
    list.viewport()->setBackgroundRole(QPalette::Window);
    list.setBackgroundRole(QPalette::Window);
}

int CardRows::contentWidth(int viewportWidth)
{
    return std::max(120, viewportWidth - 2 * side - 2 * inset);
}

QRect CardRows::contentRect(const QRect& rowRect, bool first, bool last)
{
    return rowRect.adjusted(side + inset, above(first), -(side + inset), -below(last));
}

int CardRows::rowHeight(int contentHeight, bool first, bool last)
{
    return contentHeight + above(first) + below(last);
}

QRect CardRows::paintGround(QPainter& painter, const QStyleOptionViewItem& option, const DesignTokens& tokens,
                            bool first, bool last, float selectedAlpha)
{
    const QRect card = option.rect.adjusted(side, 0, -side, 0);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Each row draws the whole rounded card reaching past its own edges and keeps only its slice, so the corners
    // round only at the card's ends.
    painter.setClipRect(card.adjusted(-1, 0, 1, 0));
    QPainterPath path;
    const qreal reach = Radius::card + 2;
    path.addRoundedRect(QRectF(card).adjusted(0.5, first ? 0.5 : -reach, -0.5, last ? -0.5 : reach), Radius::card,
                        Radius::card);
    painter.fillPath(path, tokens.card);
    if (option.state & QStyle::State_Selected && selectedAlpha > 0) {
        QColor selected = tokens.accent;
        selected.setAlphaF(selectedAlpha);
        painter.fillPath(path, selected);
    } else if (option.state & QStyle::State_MouseOver) {
        QColor hover = tokens.text;
        hover.setAlphaF(0.03f);
        painter.fillPath(path, hover);
    }
    if (tokens.cardBorder.alpha() > 0) {
        painter.setPen(QPen(tokens.cardBorder, 1));
        painter.drawPath(path);
    }
    if (!first) {
        painter.fillRect(QRectF(card.left() + inset, card.top(), card.width() - 2 * inset, 1), tokens.separator);
    }
    painter.restore();
    return card;
}

void CardRows::paintFocus(QPainter& painter, const QRect& card, const DesignTokens& tokens)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(tokens.accent, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(card).adjusted(2, 2, -2, -2), Radius::control, Radius::control);
    painter.restore();
}

qreal CardRows::wrap(QTextLayout& layout, int width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

} // namespace sayloom
