#include "ui/design/KeyCap.h"

#include "ui/design/DesignTokens.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace sayloom {

namespace {

constexpr qreal horizontalPadding = 7;
constexpr qreal verticalPadding = 2;
constexpr qreal bottomEdge = 1.5;

} // namespace

KeyCap::KeyCap(const QString& label, QWidget* parent)
    : QWidget(parent)
    , m_label(label)
{
    QFont keyFont = DesignTokens::font(TextStyle::caption, font());
    keyFont.setWeight(QFont::Medium);
    setFont(keyFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyCap::setLabel(const QString& label)
{
    if (label == m_label) {
        return;
    }
    m_label = label;
    updateGeometry();
    update();
}

QSize KeyCap::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal height = metrics.height() + 2 * verticalPadding + bottomEdge;
    const qreal width = std::max(height, metrics.horizontalAdvance(m_label) + 2 * horizontalPadding);
    return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
}

void KeyCap::paintEvent(QPaintEvent*)
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor rim = tokens.text;
    rim.setAlphaF(tokens.appearance == Appearance::dark ? 0.28f : 0.22f);
    // The rim drawn as a filled shape under the key top, showing more at the bottom, reads as a key's edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(rim);
    painter.drawRoundedRect(box, Radius::control, Radius::control);
    const QRectF top = box.adjusted(1, 1, -1, -1 - bottomEdge);
    painter.setBrush(tokens.card);
    painter.drawRoundedRect(top, Radius::control - 1, Radius::control - 1);

    painter.setPen(tokens.text);
    painter.drawText(top, Qt::AlignCenter, m_label);
}

void KeyCap::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
