#pragma once

#include "ui/DictionaryRowPainter.h"

#include <QHash>
#include <QStyledItemDelegate>
#include <QUuid>

class QAbstractItemView;

namespace sayloom {

class DictionaryListModel;

// Draws the Dictionary list as one card of rows parted by hairlines. Row heights are kept per entry and width
// until the dictionary changes, so a keystroke in the search lays the list out again without measuring text.
class DictionaryRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    DictionaryRowDelegate(QAbstractItemView& view, DictionaryListModel& model);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QAbstractItemView& m_view;
    DictionaryListModel& m_model;
    DictionaryRowPainter m_painter;
    // Entry id to the width it was measured at and the height found, for the model's generation below.
    mutable QHash<QUuid, std::pair<int, int>> m_heights;
    mutable quint64 m_generation = 0;
};

} // namespace sayloom
