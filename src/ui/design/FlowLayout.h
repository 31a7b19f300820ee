#pragma once

#include <QLayout>
#include <QList>

namespace sayloom {

// Lays its items out left to right and wraps to a new line when the width runs out, like words in a paragraph
// (correction chips under a history row). Height follows width, so place it in a layout that asks for
// heightForWidth. Spacing defaults to 6 px between items and lines.
class FlowLayout final : public QLayout {
    Q_OBJECT

public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = 6, int verticalSpacing = 6);
    ~FlowLayout() override;

    int horizontalSpacing() const { return m_horizontalSpacing; }
    int verticalSpacing() const { return m_verticalSpacing; }

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (or only measures, when `place` is false) and returns the height used.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
};

} // namespace sayloom
