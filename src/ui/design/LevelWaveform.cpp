#include "ui/design/LevelWaveform.h"

#include "ui/design/DesignTokens.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace sayloom {

LevelWaveform::LevelWaveform(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LevelWaveform::setLevels(std::span<const float> levels)
{
    if (std::ranges::equal(levels, m_levels)) {
        return;
    }
    const bool resized = static_cast<qsizetype>(levels.size()) != m_levels.size();
    m_levels = QList<float>(levels.begin(), levels.end());
    if (resized) {
        updateGeometry();
    }
    update();
}

void LevelWaveform::setColor(const QColor& colour)
{
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    update();
}

void LevelWaveform::setBarMetrics(qreal width, qreal gap)
{
    m_barWidth = std::max<qreal>(1, width);
    m_gap = std::max<qreal>(0, gap);
    updateGeometry();
    update();
}

QSize LevelWaveform::sizeHint() const
{
    const qsizetype count = std::max<qsizetype>(m_levels.size(), 1);
    return QSize(static_cast<int>(std::ceil(count * m_barWidth + (count - 1) * m_gap)), PillMetrics::waveformHeight);
}

QSize LevelWaveform::minimumSizeHint() const
{
    return QSize(static_cast<int>(std::ceil(m_barWidth)), PillMetrics::waveformHeight);
}

void LevelWaveform::paintBars(QPainter& painter, const QRectF& area, std::span<const float> levels,
                              const QColor& colour, qreal barWidth, qreal gap)
{
    if (levels.empty() || area.width() < barWidth || area.height() <= 0) {
        return;
    }
    const auto fitting = static_cast<std::size_t>(std::floor((area.width() + gap) / (barWidth + gap)));
    const std::span<const float> shown = levels.last(std::min(fitting, levels.size()));
    const qreal total = shown.size() * barWidth + (shown.size() - 1) * gap;
    qreal x = area.left() + (area.width() - total) / 2;
    const qreal middle = area.center().y();
    const qreal smallest = std::min(barWidth, area.height());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal radius = barWidth / 2;
    for (const float level : shown) {
        // NaN and out-of-range readings are clamped so a bad reading can never draw outside the area.
        const qreal clamped = std::isfinite(level) ? std::clamp<qreal>(level, 0.0, 1.0) : 0.0;
        const qreal height = std::max(smallest, clamped * area.height());
        painter.drawRoundedRect(QRectF(x, middle - height / 2, barWidth, height), radius, radius);
        x += barWidth + gap;
    }
    painter.restore();
}

void LevelWaveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = m_colour.isValid() ? m_colour : palette().color(QPalette::WindowText);
    paintBars(painter, QRectF(rect()), std::span<const float>(m_levels.data(), m_levels.size()), colour, m_barWidth,
              m_gap);
}

} // namespace sayloom
