#include "ui/design/IconView.h"

#include "ui/design/DesignTokens.h"

#include <QPainter>

namespace sayloom {

IconView::IconView(const QString& freedesktopName, int size, QWidget* parent)
    : QWidget(parent)
    , m_name(freedesktopName)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

IconView::IconView(OwnSymbol symbol, int size, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IconView::setIconName(const QString& freedesktopName)
{
    m_name = freedesktopName;
    m_symbol.reset();
    update();
}

void IconView::setSymbol(OwnSymbol symbol)
{
    m_symbol = symbol;
    update();
}

void IconView::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

void IconView::paintEvent(QPaintEvent*)
{
    const QColor tint = m_tint.isValid() ? m_tint : DesignTokens::fromPalette(palette()).secondaryText;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int side = std::min({width(), height(), m_size});
    const QRect square((width() - side) / 2, (height() - side) / 2, side, side);
    if (m_symbol) {
        Symbols::paint(painter, *m_symbol, square, tint);
        return;
    }
    // QIcon::paint picks the pixmap for the painter's device-pixel ratio.
    Symbols::icon(m_name, tint).paint(&painter, square, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

} // namespace sayloom
