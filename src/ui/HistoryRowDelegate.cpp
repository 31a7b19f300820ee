#include "ui/HistoryRowDelegate.h"

#include "ui/HistoryListModel.h"
#include "ui/design/CardRows.h"
#include "ui/design/DesignTokens.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>

namespace sayloom {

namespace {

bool isTitle(const QModelIndex& index)
{
    return index.data(HistoryListModel::KindRole).toInt() == int(HistoryListModel::RowKind::title);
}

} // namespace

HistoryRowDelegate::HistoryRowDelegate(QAbstractItemView& view, HistoryListModel& model)
    : QStyledItemDelegate(&view)
    , m_view(view)
    , m_model(model)
{
}

QRect HistoryRowDelegate::contentRect(const QRect& rowRect, const QModelIndex& index) const
{
    return CardRows::contentRect(rowRect, index.data(HistoryListModel::FirstInGroupRole).toBool(),
                                 index.data(HistoryListModel::LastInGroupRole).toBool());
}

QRect HistoryRowDelegate::copyButtonRect(const QRect& rowRect, const QModelIndex& index) const
{
    return m_painter.copyButtonRect(contentRect(rowRect, index));
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const int width = m_view.viewport()->width();
    if (isTitle(index)) {
        const int above = index.row() == 0 ? Spacing::l : Spacing::xl;
        return QSize(width, above + QFontMetrics(DesignTokens::font(TextStyle::headline)).height() + Spacing::s);
    }
    const HistoryEntry* entry = m_model.entryAt(index);
    if (!entry) {
        return QSize(width, 0);
    }
    const int content = CardRows::contentWidth(width);
    auto found = m_heights.find(entry->id);
    if (found == m_heights.end() || found->first != content) {
        found = m_heights.insert(entry->id, {content, m_painter.heightForWidth(*entry, content)});
    }
    const bool first = index.data(HistoryListModel::FirstInGroupRole).toBool();
    const bool last = index.data(HistoryListModel::LastInGroupRole).toBool();
    return QSize(width, CardRows::rowHeight(found->second, first, last));
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const DesignTokens tokens = DesignTokens::fromPalette(option.palette);
    painter->save();
    if (isTitle(index)) {
        const QFont font = DesignTokens::font(TextStyle::headline);
        painter->setFont(font);
        painter->setPen(tokens.text);
        const QRect text = option.rect.adjusted(Spacing::xl + Spacing::xs, 0, -Spacing::xl, -Spacing::s);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignBottom, index.data(Qt::DisplayRole).toString());
        painter->restore();
        return;
    }
    const HistoryEntry* entry = m_model.entryAt(index);
    if (!entry) {
        painter->restore();
        return;
    }
    const bool first = index.data(HistoryListModel::FirstInGroupRole).toBool();
    const bool last = index.data(HistoryListModel::LastInGroupRole).toBool();
    // One card per day; a chosen row is tinted only while the list has the focus.
    const QRect card = CardRows::paintGround(*painter, option, tokens, first, last, m_view.hasFocus() ? 0.12f : 0);

    HistoryRowPainter::State state;
    state.query = m_model.filter().query();
    state.copied = index.data(HistoryListModel::CopiedRole).toBool();
    state.hovering = option.state & QStyle::State_MouseOver;
    m_painter.paint(*painter, contentRect(option.rect, index), *entry, option.palette, state);
    if (option.state & QStyle::State_HasFocus && m_view.hasFocus()) {
        CardRows::paintFocus(*painter, card, tokens);
    }
    painter->restore();
}

QWidget* HistoryRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    if (!m_model.entryAt(index)) {
        return nullptr;
    }
    auto* editor = new QPlainTextEdit(parent);
    editor->setReadOnly(true);
    editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor->setFrameShape(QFrame::NoFrame);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    editor->setFont(m_painter.bodyFont());
    editor->document()->setDocumentMargin(0);
    editor->setContentsMargins(0, 0, 0, 0);
    editor->setAccessibleName(QStringLiteral("Dictated text"));
    // Over the card's own colour, so opening it changes nothing but the selection.
    QPalette colours = editor->palette();
    colours.setColor(QPalette::Base, DesignTokens::fromPalette(colours).card);
    editor->setPalette(colours);
    return editor;
}

void HistoryRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (const HistoryEntry* entry = m_model.entryAt(index)) {
        static_cast<QPlainTextEdit*>(editor)->setPlainText(entry->text);
    }
}

void HistoryRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    if (const HistoryEntry* entry = m_model.entryAt(index)) {
        // A line more than the text takes, so the last line never scrolls away under the mouse.
        const QRect text = m_painter.textRect(contentRect(option.rect, index), *entry);
        editor->setGeometry(text.adjusted(0, 0, 0, QFontMetrics(m_painter.bodyFont()).lineSpacing()));
    }
}

bool HistoryRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && !isTitle(index)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            copyButtonRect(option.rect, index).contains(mouse->position().toPoint())) {
            emit copyRequested(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace sayloom
