#include "ui/design/CorrectionChip.h"

#include "ui/design/DesignTokens.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace sayloom {

namespace {

constexpr qreal horizontalPadding = Spacing::s;
constexpr qreal verticalPadding = 3;
const QString arrow = QStringLiteral(" \u2192 ");

} // namespace

CorrectionChip::CorrectionChip(const QString& heard, const QString& written, QWidget* parent)
    : QWidget(parent)
    , m_heard(heard)
    , m_written(written)
{
    setFont(DesignTokens::font(TextStyle::caption, font()));
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setToolTip(heard + arrow + written);
}

QSize CorrectionChip::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal width = metrics.horizontalAdvance(m_heard + arrow + m_written) + 2 * horizontalPadding;
    return QSize(static_cast<int>(std::ceil(width)),
                 static_cast<int>(std::ceil(metrics.height() + 2 * verticalPadding)));
}

QSize CorrectionChip::minimumSizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal width = metrics.horizontalAdvance(QStringLiteral("\u2026") + arrow + QStringLiteral("\u2026"));
    return QSize(static_cast<int>(std::ceil(width + 2 * horizontalPadding)), sizeHint().height());
}

void CorrectionChip::paintEvent(QPaintEvent*)
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF box(rect());
    QColor ground = tokens.accent;
    ground.setAlphaF(tokens.appearance == Appearance::dark ? 0.22f : 0.12f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ground);
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);

    const QFontMetricsF metrics(font());
    const qreal arrowWidth = metrics.horizontalAdvance(arrow);
    const qreal room = std::max<qreal>(0, box.width() - 2 * horizontalPadding - arrowWidth);
    const qreal heardWidth = metrics.horizontalAdvance(m_heard);
    const qreal writtenWidth = metrics.horizontalAdvance(m_written);
    // When squeezed, both sides give up room in proportion to their length.
    const qreal scale = heardWidth + writtenWidth > room ? room / (heardWidth + writtenWidth) : 1.0;
    const QString heard = metrics.elidedText(m_heard, Qt::ElideMiddle, heardWidth * scale + 0.5);
    const QString written = metrics.elidedText(m_written, Qt::ElideMiddle, writtenWidth * scale + 0.5);

    const qreal baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    qreal x = box.left() + horizontalPadding;
    painter.setPen(tokens.secondaryText);
    painter.drawText(QPointF(x, baseline), heard);
    x += metrics.horizontalAdvance(heard);
    painter.drawText(QPointF(x, baseline), arrow);
    x += arrowWidth;
    painter.setPen(tokens.text);
    painter.drawText(QPointF(x, baseline), written);
}

void CorrectionChip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
