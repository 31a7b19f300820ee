#pragma once

#include "history/HistoryEntry.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QMessageBox;
class QPushButton;
class QStackedWidget;

namespace sayloom {

class AppState;
class Clock;
class HistoryListModel;
class HistoryRowDelegate;

// Every saved dictation, searchable, by day: copy a text or its original transcript, delete one, or clear them
// all after a confirmation. The list is a model and a painting delegate, so a full history opens and filters as
// fast as a short one.
class HistoryView final : public QWidget {
    Q_OBJECT

public:
    HistoryView(AppState& state, Clock& clock, QWidget* parent = nullptr);
    ~HistoryView() override;

    QLineEdit* searchField() const { return m_search; }
    QListView* list() const { return m_list; }
    QPushButton* clearButton() const { return m_clear; }
    HistoryListModel& model() const { return *m_model; }
    // The confirmation while it is open.
    QMessageBox* clearConfirmation() const { return m_confirmation; }

    // The entry's text goes on the clipboard and its row says "Copied" for a moment.
    void copy(const HistoryEntry& entry);
    void copyOriginal(const HistoryEntry& entry);
    void remove(const HistoryEntry& entry);
    void confirmClear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reload();
    void updateHeader();
    void showMenu(const QPoint& position);

    AppState& m_state;
    Clock& m_clock;
    HistoryListModel* m_model;
    HistoryRowDelegate* m_delegate;
    QLabel* m_count;
    QLineEdit* m_search;
    QPushButton* m_clear;
    QStackedWidget* m_pages;
    QListView* m_list;
    QLabel* m_emptyText;
    QLabel* m_emptySymbol;
    QMessageBox* m_confirmation = nullptr;
    QTimer m_copiedReset;
    // "Today" moves on while the window stays open.
    QTimer m_dayCheck;
};

} // namespace sayloom
