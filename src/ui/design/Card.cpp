#include "ui/design/Card.h"

#include "ui/design/DesignTokens.h"

#include <QPainter>
#include <QVBoxLayout>

namespace sayloom {

Card::Card(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(Spacing::l, Spacing::l, Spacing::l, Spacing::l);
    m_layout->setSpacing(Spacing::m);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void Card::paintEvent(QPaintEvent*)
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Half a pixel in, so the one-pixel border lies on whole device pixels at ratio 1.
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(tokens.cardBorder.alpha() > 0 ? QPen(tokens.cardBorder, 1) : QPen(Qt::NoPen));
    painter.setBrush(tokens.card);
    painter.drawRoundedRect(box, Radius::card, Radius::card);
}

} // namespace sayloom
