#include "ui/HistoryRowWidget.h"

#include "ui/HistoryRowText.h"
#include "ui/SymbolNames.h"
#include "ui/design/DesignTokens.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolButton>

namespace sayloom {

HistoryRowWidget::HistoryRowWidget(const HistoryEntry& entry, QWidget* parent)
    : QWidget(parent)
    , m_entry(entry)
    , m_copy(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(entry.text);
    setAccessibleDescription(HistoryRowText::metaLine(entry));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    m_copy->setAutoRaise(true);
    m_copy->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_copy->setFont(DesignTokens::font(TextStyle::caption));
    m_copy->setIconSize(QSize(14, 14));
    connect(m_copy, &QToolButton::clicked, this, &HistoryRowWidget::copy);
    m_copiedReset.setSingleShot(true);
    m_copiedReset.setInterval(1500);
    connect(&m_copiedReset, &QTimer::timeout, this, [this] { setCopied(false); });
    setCopied(false);
}

void HistoryRowWidget::copy()
{
    QGuiApplication::clipboard()->setText(m_entry.text);
    setCopied(true);
    m_copiedReset.start();
}

void HistoryRowWidget::copyOriginal()
{
    QGuiApplication::clipboard()->setText(m_entry.raw);
}

void HistoryRowWidget::setCopied(bool copied)
{
    m_copied = copied;
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    m_copy->setText(HistoryRowPainter::copyTitle(copied));
    m_copy->setAccessibleName(HistoryRowPainter::copyTitle(copied));
    m_copy->setIcon(
            SymbolNames::icon(HistoryRowPainter::copySymbol(copied), copied ? tokens.accent : tokens.secondaryText));
    QPalette buttonPalette = m_copy->palette();
    buttonPalette.setColor(QPalette::ButtonText, copied ? tokens.accent : tokens.secondaryText);
    m_copy->setPalette(buttonPalette);
    m_copy->setGeometry(m_painter.copyButtonRect(rect()));
}

int HistoryRowWidget::heightForWidth(int width) const
{
    return m_painter.heightForWidth(m_entry, width);
}

QSize HistoryRowWidget::sizeHint() const
{
    const int width = std::max(this->width(), 480);
    return QSize(width, heightForWidth(width));
}

void HistoryRowWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    HistoryRowPainter::State state;
    state.copied = m_copied;
    state.paintCopyButton = false;
    m_painter.paint(painter, rect(), m_entry, palette(), state);
    if (hasFocus()) {
        const DesignTokens tokens = DesignTokens::fromPalette(palette());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(tokens.accent, 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), Radius::control, Radius::control);
    }
}

void HistoryRowWidget::resizeEvent(QResizeEvent* event)
{
    m_copy->setGeometry(m_painter.copyButtonRect(rect()));
    QWidget::resizeEvent(event);
}

void HistoryRowWidget::contextMenuEvent(QContextMenuEvent* event)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Copy"), this, &HistoryRowWidget::copy);
    menu->addAction(QStringLiteral("Copy Original Transcript"), this, &HistoryRowWidget::copyOriginal);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), this, [this] { emit deleteRequested(m_entry); });
    menu->popup(event->globalPos());
}

void HistoryRowWidget::openText()
{
    if (!m_editor) {
        m_editor = new QPlainTextEdit(this);
        m_editor->setReadOnly(true);
        m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        m_editor->setFrameShape(QFrame::NoFrame);
        m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_editor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_editor->setFont(m_painter.bodyFont());
        m_editor->document()->setDocumentMargin(0);
        m_editor->setAccessibleName(QStringLiteral("Dictated text"));
        m_editor->setPlainText(m_entry.text);
        m_editor->installEventFilter(this);
    }
    QPalette colours = palette();
    colours.setColor(QPalette::Base, DesignTokens::fromPalette(colours).card);
    m_editor->setPalette(colours);
    m_editor->setGeometry(m_painter.textRect(rect(), m_entry));
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void HistoryRowWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_painter.textRect(rect(), m_entry).contains(event->position().toPoint())) {
        openText();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

bool HistoryRowWidget::eventFilter(QObject* watched, QEvent* event)
{
    const bool escape = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (watched == m_editor && (event->type() == QEvent::FocusOut || escape)) {
        m_editor->hide();
        if (escape) {
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryRowWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->key() == Qt::Key_F2) {
        openText();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HistoryRowWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        setCopied(m_copied);
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
