#include "ui/DictionaryRowDelegate.h"

#include "ui/DictionaryListModel.h"
#include "ui/design/DesignTokens.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>

namespace sayloom {

namespace {

bool isFirst(const QModelIndex& index)
{
    return index.row() == 0;
}

bool isLast(const QModelIndex& index)
{
    return index.row() == index.model()->rowCount() - 1;
}

} // namespace

DictionaryRowDelegate::DictionaryRowDelegate(QAbstractItemView& view, DictionaryListModel& model)
    : QStyledItemDelegate(&view)
    , m_view(view)
    , m_model(model)
{
}

int DictionaryRowDelegate::contentWidth() const
{
    return std::max(120, m_view.viewport()->width() - 2 * Spacing::xl - 2 * Spacing::l);
}

QRect DictionaryRowDelegate::contentRect(const QRect& rowRect, const QModelIndex& index) const
{
    return rowRect.adjusted(Spacing::xl + Spacing::l, isFirst(index) ? Spacing::l : Spacing::m,
                            -(Spacing::xl + Spacing::l), isLast(index) ? -Spacing::l : -Spacing::m);
}

QSize DictionaryRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const int width = m_view.viewport()->width();
    const DictionaryEntry* entry = m_model.entryAt(index);
    if (!entry) {
        return QSize(width, 0);
    }
    if (m_generation != m_model.generation()) {
        m_heights.clear();
        m_generation = m_model.generation();
    }
    const int content = contentWidth();
    auto found = m_heights.find(entry->id);
    if (found == m_heights.end() || found->first != content) {
        found = m_heights.insert(entry->id,
                                 {content, m_painter.heightForWidth(*entry, m_model.warningsAt(index), content)});
    }
    return QSize(width, found->second + (isFirst(index) ? Spacing::l : Spacing::m) +
                                (isLast(index) ? Spacing::l : Spacing::m));
}

void DictionaryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const DictionaryEntry* entry = m_model.entryAt(index);
    if (!entry) {
        return;
    }
    const DesignTokens tokens = DesignTokens::fromPalette(option.palette);
    const bool first = isFirst(index);
    const bool last = isLast(index);
    const QRect card = option.rect.adjusted(Spacing::xl, 0, -Spacing::xl, 0);
    painter->save();

    // The rows make one card: the first rounds the top corners, the last the bottom ones.
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(card.adjusted(-1, 0, 1, 0));
    QPainterPath path;
    const qreal reach = Radius::card + 2;
    path.addRoundedRect(QRectF(card).adjusted(0.5, first ? 0.5 : -reach, -0.5, last ? -0.5 : reach), Radius::card,
                        Radius::card);
    painter->fillPath(path, tokens.card);
    if (option.state & QStyle::State_Selected) {
        QColor selected = tokens.accent;
        selected.setAlphaF(m_view.hasFocus() ? 0.16f : 0.08f);
        painter->fillPath(path, selected);
    } else if (option.state & QStyle::State_MouseOver) {
        QColor hover = tokens.text;
        hover.setAlphaF(0.03f);
        painter->fillPath(path, hover);
    }
    if (tokens.cardBorder.alpha() > 0) {
        painter->setPen(QPen(tokens.cardBorder, 1));
        painter->drawPath(path);
    }
    if (!first) {
        painter->fillRect(QRectF(card.left() + Spacing::l, card.top(), card.width() - 2 * Spacing::l, 1),
                          tokens.separator);
    }
    painter->setClipping(false);

    m_painter.paint(*painter, contentRect(option.rect, index), *entry, m_model.warningsAt(index), option.palette);
    if (option.state & QStyle::State_HasFocus && m_view.hasFocus()) {
        painter->setPen(QPen(tokens.accent, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(card).adjusted(2, 2, -2, -2), Radius::control, Radius::control);
    }
    painter->restore();
}

} // namespace sayloom
