#include "ui/design/PulseWaveform.h"

#include "ui/design/DesignTokens.h"
#include "ui/design/LevelWaveform.h"

#include <QPainter>
#include <QTimerEvent>

#include <array>
#include <cmath>
#include <numbers>

namespace sayloom {

namespace {

constexpr int frameInterval = 33;
constexpr qreal period = 1.2;

} // namespace

PulseWaveform::PulseWaveform(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PulseWaveform::setColor(const QColor& colour)
{
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    update();
}

QSize PulseWaveform::sizeHint() const
{
    return QSize(static_cast<int>(std::ceil(PillMetrics::waveformWidth)), PillMetrics::waveformHeight);
}

void PulseWaveform::paintPulse(QPainter& painter, const QRectF& area, qreal seconds, const QColor& colour)
{
    // A wave travelling left to right, squared so the crest is narrow and the rest rests low.
    std::array<float, barCount> heights{};
    const qreal phase = 2 * std::numbers::pi * seconds / period;
    for (int i = 0; i < barCount; ++i) {
        const qreal wave = 0.5 + 0.5 * std::sin(phase - i * 0.45);
        heights[static_cast<std::size_t>(i)] = static_cast<float>(0.18 + 0.62 * wave * wave);
    }
    LevelWaveform::paintBars(painter, area, heights, colour, PillMetrics::barWidth, PillMetrics::barGap);
}

void PulseWaveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = m_colour.isValid() ? m_colour : DesignTokens::fromPalette(palette()).secondaryText;
    const qreal seconds = m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0;
    paintPulse(painter, QRectF(rect()), seconds, colour);
}

void PulseWaveform::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_clock.isValid()) {
        m_clock.start();
    }
    m_timer.start(frameInterval, Qt::PreciseTimer, this);
}

void PulseWaveform::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void PulseWaveform::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId()) {
        update();
        return;
    }
    QWidget::timerEvent(event);
}

} // namespace sayloom
