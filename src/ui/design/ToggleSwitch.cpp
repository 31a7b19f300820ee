#include "ui/design/ToggleSwitch.h"

#include "ui/design/DesignTokens.h"

#include <QPainter>
#include <QPainterPath>

namespace sayloom {

namespace {

constexpr QSize trackSize{40, 22};
constexpr qreal knobInset = 2;

} // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const
{
    // Room for the focus ring around the track.
    return trackSize + QSize(4, 4);
}

bool ToggleSwitch::hitButton(const QPoint& position) const
{
    return rect().contains(position);
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(QPointF((width() - trackSize.width()) / 2.0, (height() - trackSize.height()) / 2.0),
                       QSizeF(trackSize));
    const qreal radius = track.height() / 2;

    QColor ground = isChecked() ? tokens.accent : tokens.text;
    if (!isChecked()) {
        ground.setAlphaF(tokens.appearance == Appearance::dark ? 0.24f : 0.18f);
    }
    if (!isEnabled()) {
        ground.setAlphaF(ground.alphaF() * 0.5f);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(ground);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() - 2 * knobInset;
    const qreal x = isChecked() ? track.right() - knobInset - knob : track.left() + knobInset;
    painter.setBrush(QColor(255, 255, 255, isEnabled() ? 255 : 160));
    painter.setPen(QPen(QColor(0, 0, 0, 30), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + knobInset, knob, knob));

    if (hasFocus()) {
        QColor ring = tokens.accent;
        ring.setAlphaF(0.6f);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }
}

} // namespace sayloom
