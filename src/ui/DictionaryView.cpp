#include "ui/DictionaryView.h"

#include "base/DetachedTask.h"
#include "dictionary/DictionaryStore.h"
#include "session/ports/FileActions.h"
#include "ui/DictionaryEditor.h"
#include "ui/DictionaryListModel.h"
#include "ui/DictionaryRowDelegate.h"
#include "ui/SymbolNames.h"
#include "ui/design/CardRows.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/WarningLabel.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sayloom {

namespace {

QLabel* secondaryLabel(const QString& text, TextStyle style, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(DesignTokens::font(style));
    label->setWordWrap(true);
    label->setProperty("secondary", true);
    return label;
}

// A page in place of the list: a large symbol, a title, a line of text and, for the empty dictionary, a button.
QWidget* placeholder(QLabel* symbol, QLabel* title, QLabel* text, QPushButton* button, QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(Spacing::xxl * 2, 0, Spacing::xxl * 2, 0);
    layout->setSpacing(Spacing::s);
    layout->addStretch(1);
    title->setFont(DesignTokens::font(TextStyle::title));
    for (QLabel* label : {symbol, title, text}) {
        label->setParent(page);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    if (button) {
        button->setParent(page);
        layout->addSpacing(Spacing::s);
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    layout->addStretch(2);
    return page;
}

} // namespace

DictionaryView::DictionaryView(DictionaryStore& store, FileActions& files, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_files(files)
    , m_model(new DictionaryListModel(this))
    , m_subtitle(secondaryLabel(QString(), TextStyle::callout, this))
    , m_add(new QPushButton(QStringLiteral("Add"), this))
    , m_file(new QPushButton(QStringLiteral("Dictionary File"), this))
    , m_search(new QLineEdit(this))
    , m_header(secondaryLabel(QString(), TextStyle::caption, this))
    , m_pages(new QStackedWidget(this))
    , m_list(new QListView(m_pages))
    , m_emptySymbol(new QLabel(this))
    , m_noResultsSymbol(new QLabel(this))
    , m_noResultsTitle(new QLabel(this))
    , m_footer(secondaryLabel(QStringLiteral("Words go to the speech engine before it transcribes, so it leans toward "
                                             "them. Afterwards, every entry is enforced: whole words, any "
                                             "capitalization, and joined-up forms like \u201CClaudeCode\u201D or "
                                             "\u201CClaude-Code\u201D."),
                              TextStyle::caption, this))
    , m_fileError(new WarningLabel(QString(), this))
{
    setAccessibleName(QStringLiteral("Dictionary"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, Spacing::xl, 0, Spacing::l);
    layout->setSpacing(Spacing::s);

    // Title and toolbar.
    auto* top = new QHBoxLayout;
    top->setContentsMargins(Spacing::xl, 0, Spacing::xl, 0);
    top->setSpacing(Spacing::s);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Dictionary"), this);
    title->setFont(DesignTokens::font(TextStyle::title));
    titles->addWidget(title);
    titles->addWidget(m_subtitle);
    top->addLayout(titles, 1);
    m_add->setAccessibleName(QStringLiteral("Add"));
    m_add->setToolTip(QStringLiteral("Add a word or a correction (Ctrl+N)"));
    m_file->setAccessibleName(QStringLiteral("Dictionary File"));
    auto* fileMenu = new QMenu(m_file);
    fileMenu->addAction(QStringLiteral("Open in Text Editor"), this, &DictionaryView::openFile);
    fileMenu->addAction(QStringLiteral("Show in File Manager"), this,
                        [this] { runDetached(revealFile(), "Showing the dictionary file"); });
    m_file->setMenu(fileMenu);
    top->addWidget(m_add, 0, Qt::AlignTop);
    top->addWidget(m_file, 0, Qt::AlignTop);
    layout->addLayout(top);

    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(Spacing::xl, Spacing::s, Spacing::xl, 0);
    m_search->setPlaceholderText(QStringLiteral("Search dictionary"));
    m_search->setAccessibleName(QStringLiteral("Search dictionary"));
    m_search->setClearButtonEnabled(true);
    searchRow->addWidget(m_search);
    layout->addLayout(searchRow);

    m_header->setContentsMargins(Spacing::xl + Spacing::xs, Spacing::s, Spacing::xl, 0);
    m_header->setAccessibleName(QStringLiteral("Entries"));
    layout->addWidget(m_header);

    // The list, or what stands in its place.
    m_list->setModel(m_model);
    m_list->setItemDelegate(new DictionaryRowDelegate(*m_list, *m_model));
    CardRows::setUpList(*m_list);
    m_list->setAccessibleName(QStringLiteral("Entries"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pages->addWidget(m_list);

    auto* addWord = new QPushButton(QStringLiteral("Add Word"));
    addWord->setDefault(true);
    m_pages->addWidget(placeholder(
            m_emptySymbol, new QLabel(QStringLiteral("Teach Sayloom Your Words")),
            secondaryLabel(QStringLiteral("Add names, jargon and product names it gets wrong. Use a correction when "
                                          "it keeps mishearing something, like \u201Ccloud code\u201D for Claude "
                                          "Code."),
                           TextStyle::body, nullptr),
            addWord, m_pages));
    m_pages->addWidget(placeholder(
            m_noResultsSymbol, m_noResultsTitle,
            secondaryLabel(QStringLiteral("Check the spelling or try a new search."), TextStyle::body, nullptr),
            nullptr, m_pages));
    layout->addWidget(m_pages, 1);

    auto* footer = new QVBoxLayout;
    footer->setContentsMargins(Spacing::xl + Spacing::xs, Spacing::s, Spacing::xl, 0);
    footer->setSpacing(Spacing::s);
    footer->addWidget(m_footer);
    m_fileError->setAccessibleName(QStringLiteral("Dictionary file error"));
    footer->addWidget(m_fileError);
    layout->addLayout(footer);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setQuery(text);
        m_list->scrollToTop();
        updateTexts();
    });
    connect(m_add, &QPushButton::clicked, this, [this] { openEditor(); });
    connect(addWord, &QPushButton::clicked, this, [this] { openEditor(); });
    // Double click and Return.
    connect(m_list, &QListView::activated, this, [this](const QModelIndex& index) {
        if (const DictionaryEntry* entry = m_model->entryAt(index)) {
            openEditor(*entry);
        }
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, &DictionaryView::showMenu);
    connect(&m_store, &DictionaryStore::entriesChanged, this, &DictionaryView::reload);
    connect(&m_store, &DictionaryStore::fileErrorChanged, this, &DictionaryView::updateTexts);
    // The chosen rows stay chosen when the list is rebuilt around them (a search, a save, an outside edit).
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_keptSelection.clear();
        for (const DictionaryEntry& entry : selectedEntries()) {
            m_keptSelection.append(entry.id);
        }
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        for (const QUuid& id : std::as_const(m_keptSelection)) {
            if (const QModelIndex index = m_model->indexOf(id); index.isValid()) {
                m_list->selectionModel()->select(index, QItemSelectionModel::Select);
                m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            }
        }
    });

    auto* add = new QShortcut(QKeySequence::New, this);
    connect(add, &QShortcut::activated, this, [this] { openEditor(); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { m_search->setFocus(Qt::ShortcutFocusReason); });
    auto* remove = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &DictionaryView::deleteSelected);
    // Down from the search field goes into the list.
    m_search->installEventFilter(this);

    reload();
    updateSymbols();
}

DictionaryView::~DictionaryView() = default;

DictionaryView::Page DictionaryView::page() const
{
    return Page(m_pages->currentIndex());
}

DictionaryEditor* DictionaryView::editor() const
{
    return m_editor;
}

void DictionaryView::openEditor(const std::optional<DictionaryEntry>& entry)
{
    if (m_editor) {
        m_editor->raise();
        return;
    }
    m_editor = new DictionaryEditor(m_store, entry, window());
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    // A closed sheet lingers until it is deleted; the next one must be a new sheet, not that one again.
    connect(m_editor, &QDialog::finished, this, [this] {
        m_editor = nullptr;
        // The keyboard goes back to the list, where the row just added or changed is.
        if (m_pages->currentWidget() == m_list && m_list->isVisible()) {
            m_list->setFocus(Qt::OtherFocusReason);
        }
    });
    m_editor->open();
}

void DictionaryView::deleteSelected()
{
    // One edit and one write of the file, however many rows are chosen.
    const QList<DictionaryEntry> chosen = selectedEntries();
    if (!chosen.isEmpty()) {
        m_store.remove(chosen);
    }
}

void DictionaryView::openFile()
{
    if (!m_files.open(m_store.filePath())) {
        tellFileNotShown(QStringLiteral("Couldn't open the dictionary file"),
                         QStringLiteral("No application is set up to open text files."));
    }
}

QCoro::Task<void> DictionaryView::revealFile()
{
    // The screen may be gone by the time the file manager answers.
    const QPointer<DictionaryView> self(this);
    const bool shown = co_await m_files.reveal(m_store.filePath());
    if (!shown && self) {
        self->tellFileNotShown(QStringLiteral("Couldn't show the dictionary file"),
                               QStringLiteral("No file manager answered."));
    }
}

void DictionaryView::tellFileNotShown(const QString& title, const QString& reason)
{
    auto* message = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::Ok, this);
    message->setInformativeText(reason + u" The file is " + QDir::toNativeSeparators(m_store.filePath()) + u".");
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
}

QList<DictionaryEntry> DictionaryView::selectedEntries() const
{
    QList<DictionaryEntry> chosen;
    if (!m_list->selectionModel()) {
        return chosen;
    }
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& index : rows) {
        if (const DictionaryEntry* entry = m_model->entryAt(index)) {
            chosen.append(*entry);
        }
    }
    return chosen;
}

void DictionaryView::reload()
{
    m_model->setEntries(m_store.entries());
    updateTexts();
}

void DictionaryView::updateTexts()
{
    m_subtitle->setText(u"Biasing " + QString::number(m_store.biasTerms().size()) + u" of " +
                        QString::number(DictionaryStore::maximumBiasTerms) + u" terms");
    m_header->setText(QString::number(m_store.wordCount()) + u" words \u00B7 " +
                      QString::number(m_store.correctionCount()) + u" corrections");
    const bool empty = m_store.entries().isEmpty();
    const Page shown = empty ? Page::empty : m_model->rowCount() == 0 ? Page::noResults : Page::list;
    m_pages->setCurrentIndex(int(shown));
    m_header->setVisible(!empty);
    m_footer->setVisible(!empty);
    m_search->setEnabled(!empty || !m_search->text().isEmpty());
    m_noResultsTitle->setText(u"No Results for \u201C" + m_search->text().trimmed() + u"\u201D");
    m_fileError->setText(m_store.fileError().value_or(QString()));
    m_fileError->setVisible(m_store.fileError().has_value());
}

void DictionaryView::updateSymbols()
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    const QIcon book = SymbolNames::icon(QStringLiteral("character.book.closed"), tokens.secondaryText);
    m_emptySymbol->setPixmap(book.pixmap(QSize(48, 48), 2.0));
    m_noResultsSymbol->setPixmap(
            SymbolNames::icon(QStringLiteral("magnifyingglass"), tokens.secondaryText).pixmap(QSize(48, 48), 2.0));
    m_add->setIcon(SymbolNames::icon(QStringLiteral("plus"), tokens.text));
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->property("secondary").toBool()) {
            QPalette secondary = label->palette();
            secondary.setColor(QPalette::WindowText, tokens.secondaryText);
            label->setPalette(secondary);
        }
    }
}

void DictionaryView::showMenu(const QPoint& position)
{
    const QModelIndex index = m_list->indexAt(position);
    QPoint at = position;
    if (index.isValid()) {
        // A click on a row outside the chosen ones chooses it alone, as file managers do.
        if (!m_list->selectionModel()->isSelected(index)) {
            m_list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        }
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    } else {
        // From the keyboard's menu key: the current row.
        at = m_list->visualRect(m_list->currentIndex()).center();
    }
    if (selectedEntries().isEmpty()) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Delete"), this, &DictionaryView::deleteSelected);
    menu->popup(m_list->viewport()->mapToGlobal(at));
}

bool DictionaryView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && m_model->rowCount() > 0) {
        m_list->setFocus(Qt::TabFocusReason);
        if (!m_list->currentIndex().isValid()) {
            m_list->setCurrentIndex(m_model->index(0));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DictionaryView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateSymbols();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
