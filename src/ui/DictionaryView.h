#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;

namespace sayloom {

class DictionaryEditor;
class DictionaryListModel;
class DictionaryStore;
class FileActions;
class WarningLabel;

// The user's words and corrections, newest first, searchable, each with its warnings: add one or change one in a
// sheet, delete the chosen ones, or take the file itself to a text editor or the file manager. Follows the store, so
// an edit of the file in another program shows up at once.
class DictionaryView final : public QWidget {
    Q_OBJECT

public:
    DictionaryView(DictionaryStore& store, FileActions& files, QWidget* parent = nullptr);
    ~DictionaryView() override;

    // Which of the three pages is shown in place of the list.
    enum class Page { list, empty, noResults };
    Page page() const;

    QLineEdit* searchField() const { return m_search; }
    QListView* list() const { return m_list; }
    DictionaryListModel& model() const { return *m_model; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* fileButton() const { return m_file; }
    QLabel* subtitle() const { return m_subtitle; }
    QLabel* header() const { return m_header; }
    WarningLabel* fileError() const { return m_fileError; }
    // The sheet while it is open.
    DictionaryEditor* editor() const;

    // Opens the sheet on an entry, or empty for a new one; does nothing while a sheet is open.
    void openEditor(const std::optional<DictionaryEntry>& entry = std::nullopt);
    // Deletes every chosen row.
    void deleteSelected();
    // The file in the desktop's text editor, or shown in the file manager; a window-modal message says so when
    // nothing took it.
    void openFile();
    QCoro::Task<void> revealFile();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reload();
    void updateTexts();
    void updateSymbols();
    void showMenu(const QPoint& position);
    QList<DictionaryEntry> selectedEntries() const;
    void tellFileNotShown(const QString& title, const QString& reason);

    DictionaryStore& m_store;
    FileActions& m_files;
    DictionaryListModel* m_model;
    QLabel* m_subtitle;
    QPushButton* m_add;
    QPushButton* m_file;
    QLineEdit* m_search;
    QLabel* m_header;
    QStackedWidget* m_pages;
    QListView* m_list;
    QLabel* m_emptySymbol;
    QLabel* m_noResultsSymbol;
    QLabel* m_noResultsTitle;
    QLabel* m_footer;
    WarningLabel* m_fileError;
    QPointer<DictionaryEditor> m_editor;
    // The rows chosen before the list was rebuilt, chosen again after it.
    QList<QUuid> m_keptSelection;
};

} // namespace sayloom
