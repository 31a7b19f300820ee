#pragma once

#include "history/HistoryEntry.h"
#include "ui/HistoryRowPainter.h"

#include <QTimer>
#include <QWidget>

class QPlainTextEdit;
class QToolButton;

namespace sayloom {

// One dictation as a widget, for the few rows shown outside the History list (Home's recent takes): the same
// drawing as the list's, with a real copy button and a context menu that the keyboard reaches too.
class HistoryRowWidget final : public QWidget {
    Q_OBJECT

public:
    explicit HistoryRowWidget(const HistoryEntry& entry, QWidget* parent = nullptr);

    const HistoryEntry& entry() const { return m_entry; }
    bool isCopied() const { return m_copied; }
    QToolButton* copyButton() const { return m_copy; }

    // Puts the text on the clipboard; the button says "Copied" for a moment.
    void copy();
    void copyOriginal();
    // Opens the text read-only over the row, so a part of it can be selected; it closes when it loses the focus.
    void openText();
    QPlainTextEdit* textEditor() const { return m_editor; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void deleteRequested(const sayloom::HistoryEntry& entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setCopied(bool copied);

    HistoryEntry m_entry;
    HistoryRowPainter m_painter;
    QToolButton* m_copy;
    QPlainTextEdit* m_editor = nullptr;
    bool m_copied = false;
    QTimer m_copiedReset;
};

} // namespace sayloom
