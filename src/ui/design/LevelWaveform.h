#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include <span>

namespace sayloom {

// Rounded vertical bars, one per level in [0, 1], oldest on the left, centred on the middle line. A level of 0 is
// a dot as wide as a bar, so silence still shows a line of dots.
class LevelWaveform final : public QWidget {
    Q_OBJECT

public:
    explicit LevelWaveform(QWidget* parent = nullptr);

    void setLevels(std::span<const float> levels);
    void setLevels(const QList<float>& levels) { setLevels(std::span<const float>(levels.data(), levels.size())); }
    const QList<float>& levels() const { return m_levels; }

    // The bars' colour; an invalid colour (the default) means the palette's text colour.
    void setColor(const QColor& colour);
    // Bar width and gap in logical pixels (3 and 2 unless set).
    void setBarMetrics(qreal width, qreal gap);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Draws `levels` as bars centred in `area`. When they don't all fit, the newest that fit are drawn. Every bar
    // lies inside `area`. Shared with the pill, which paints its own waveform.
    static void paintBars(QPainter& painter, const QRectF& area, std::span<const float> levels, const QColor& colour,
                          qreal barWidth = 3, qreal gap = 2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<float> m_levels;
    QColor m_colour;
    qreal m_barWidth = 3;
    qreal m_gap = 2;
};

} // namespace sayloom
