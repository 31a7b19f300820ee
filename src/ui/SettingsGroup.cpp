#include "ui/SettingsGroup.h"

#include "ui/design/Card.h"
#include "ui/design/DesignTokens.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace sayloom {

namespace {

// Rows sit closer than the card's usual padding: a settings card is a list, not a panel.
constexpr int rowPadding = 6;

} // namespace

SettingsGroup::SettingsGroup(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_card(new Card(this))
{
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Spacing::s);
    if (!title.isEmpty()) {
        auto* heading = new QLabel(title, this);
        heading->setFont(DesignTokens::font(TextStyle::headline));
        heading->setContentsMargins(Spacing::xs, 0, 0, 0);
        layout->addWidget(heading);
    }
    m_card->setAccessibleName(title);
    m_card->contentLayout()->setContentsMargins(Spacing::m, Spacing::xs, Spacing::m, Spacing::xs);
    m_card->contentLayout()->setSpacing(0);
    layout->addWidget(m_card);
    applyColours();
}

QLabel* SettingsGroup::addRow(const QString& title, QWidget* control, const QString& subtitle)
{
    if (m_lastRow) {
        auto* line = new QFrame(m_card);
        line->setFixedHeight(1);
        line->setAutoFillBackground(true);
        m_dividers.append(line);
        m_card->contentLayout()->addWidget(line);
    }
    auto* row = new QWidget(m_card);
    m_lastRow = new QVBoxLayout(row);
    m_lastRow->setContentsMargins(0, rowPadding, 0, rowPadding);
    m_lastRow->setSpacing(Spacing::xs);
    auto* line = new QHBoxLayout;
    line->setSpacing(Spacing::m);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* label = new QLabel(title, row);
    label->setFont(DesignTokens::font(TextStyle::body));
    label->setBuddy(control);
    texts->addWidget(label);
    auto* below = new QLabel(subtitle, row);
    below->setWordWrap(true);
    below->setTextFormat(Qt::PlainText);
    below->setFont(DesignTokens::font(TextStyle::caption));
    below->setVisible(!subtitle.isEmpty());
    m_secondary.append(below);
    texts->addWidget(below);
    const bool expanding = control->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag;
    line->addLayout(texts, expanding ? 0 : 1);
    control->setParent(row);
    if (control->accessibleName().isEmpty()) {
        control->setAccessibleName(title);
    }
    line->addWidget(control, expanding ? 1 : 0, Qt::AlignVCenter);
    m_lastRow->addLayout(line);
    m_card->contentLayout()->addWidget(row);
    applyColours();
    return below;
}

void SettingsGroup::addNote(QWidget* note)
{
    Q_ASSERT(m_lastRow);
    note->setParent(m_lastRow->parentWidget());
    m_lastRow->addWidget(note);
}

QLabel* SettingsGroup::addExplanation(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setFont(DesignTokens::font(TextStyle::caption));
    m_secondary.append(label);
    addNote(label);
    applyColours();
    return label;
}

void SettingsGroup::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        applyColours();
    }
    QWidget::changeEvent(event);
}

void SettingsGroup::applyColours()
{
    // From this widget's palette, never the label's own: that one already holds the secondary colour.
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    for (QLabel* label : m_secondary) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, tokens.secondaryText);
        label->setPalette(colours);
    }
    for (QFrame* line : m_dividers) {
        QPalette colours = line->palette();
        colours.setColor(QPalette::Window, tokens.separator);
        line->setPalette(colours);
    }
}

} // namespace sayloom
