#include "ui/design/WarningLabel.h"

#include "ui/design/DesignTokens.h"
#include "ui/design/IconView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace sayloom {

namespace {

constexpr int symbolSize = 14;

} // namespace

WarningLabel::WarningLabel(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_symbol(new IconView(QStringLiteral("dialog-warning"), symbolSize, this))
    , m_text(new QLabel(text, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Spacing::xs + 2);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);

    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setFont(DesignTokens::font(TextStyle::caption, font()));
    m_symbol->setFixedSize(symbolSize, QFontMetrics(m_text->font()).height());
    applyColours();
}

QString WarningLabel::text() const
{
    return m_text->text();
}

void WarningLabel::setText(const QString& text)
{
    m_text->setText(text);
}

void WarningLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        applyColours();
    }
    QWidget::changeEvent(event);
}

void WarningLabel::applyColours()
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::WindowText, tokens.secondaryText);
    m_text->setPalette(textPalette);
}

} // namespace sayloom
