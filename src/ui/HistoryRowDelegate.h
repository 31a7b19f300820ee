#pragma once

#include "ui/HistoryRowPainter.h"

#include <QHash>
#include <QStyledItemDelegate>
#include <QUuid>

class QAbstractItemView;

namespace sayloom {

class HistoryListModel;

// Draws the History list: each day's title over a card of its rows, rows parted by hairlines. Row heights are kept
// per entry and width, so a keystroke in the search lays the list out again without measuring text.
class HistoryRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    HistoryRowDelegate(QAbstractItemView& view, HistoryListModel& model);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The text opens (double click, F2) in a read-only editor, so a part of it can be selected and copied.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where the row's copy button is drawn.
    QRect copyButtonRect(const QRect& rowRect, const QModelIndex& index) const;

signals:
    void copyRequested(const QModelIndex& index);

private:
    QRect contentRect(const QRect& rowRect, const QModelIndex& index) const;

    QAbstractItemView& m_view;
    HistoryListModel& m_model;
    HistoryRowPainter m_painter;
    // Entry id to the width it was measured at and the height found.
    mutable QHash<QUuid, std::pair<int, int>> m_heights;
};

} // namespace sayloom
