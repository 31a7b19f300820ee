#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QElapsedTimer>
#include <QWidget>

namespace sayloom {

// The working indicator: 22 bars with a wave running through them, not driven by any level. Animates only while
// visible (about 30 frames a second); the first frame after construction is always the same, for snapshots.
class PulseWaveform final : public QWidget {
    Q_OBJECT

public:
    explicit PulseWaveform(QWidget* parent = nullptr);

    // The bars' colour; an invalid colour (the default) means the palette's secondary text colour.
    void setColor(const QColor& colour);

    QSize sizeHint() const override;

    static constexpr int barCount = 22;
    // Draws the pulse as it looks `seconds` into its cycle, centred in `area`, every bar inside it.
    static void paintPulse(QPainter& painter, const QRectF& area, qreal seconds, const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QColor m_colour;
    QBasicTimer m_timer;
    QElapsedTimer m_clock;
};

} // namespace sayloom
