#include "ui/DictionaryRowDelegate.h"

#include "ui/DictionaryListModel.h"
#include "ui/design/CardRows.h"
#include "ui/design/DesignTokens.h"

#include <QAbstractItemView>
#include <QPainter>

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
    const int content = CardRows::contentWidth(width);
    auto found = m_heights.find(entry->id);
    if (found == m_heights.end() || found->first != content) {
        found = m_heights.insert(entry->id,
                                 {content, m_painter.heightForWidth(*entry, m_model.warningsAt(index), content)});
    }
    return QSize(width, CardRows::rowHeight(found->second, isFirst(index), isLast(index)));
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
    // Chosen rows stay visible without the focus, so a selection of several can be seen before deleting it.
    const QRect card = CardRows::paintGround(*painter, option, tokens, first, last, m_view.hasFocus() ? 0.16f : 0.08f);
    m_painter.paint(*painter, CardRows::contentRect(option.rect, first, last), *entry, m_model.warningsAt(index),
                    option.palette);
    if (option.state & QStyle::State_HasFocus && m_view.hasFocus()) {
        CardRows::paintFocus(*painter, card, tokens);
    }
}

} // namespace sayloom
