#include "ui/HistoryView.h"

#include "session/AppState.h"
#include "session/ports/Clock.h"
#include "ui/HistoryListModel.h"
#include "ui/HistoryRowDelegate.h"
#include "ui/ScreenTexts.h"
#include "ui/SymbolNames.h"
#include "ui/design/CardRows.h"
#include "ui/design/DesignTokens.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
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

constexpr std::chrono::milliseconds copiedFor{1500};
constexpr std::chrono::minutes dayCheckInterval{1};

} // namespace

HistoryView::HistoryView(AppState& state, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_clock(clock)
    , m_model(new HistoryListModel(this))
    , m_count(new QLabel(this))
    , m_search(new QLineEdit(this))
    , m_clear(new QPushButton(QStringLiteral("Clear History"), this))
    , m_pages(new QStackedWidget(this))
    , m_list(new QListView(m_pages))
    , m_emptyText(new QLabel(this))
    , m_emptySymbol(new QLabel(this))
{
    setAccessibleName(QStringLiteral("History"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, Spacing::xl, 0, 0);
    layout->setSpacing(Spacing::s);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(Spacing::xl, 0, Spacing::xl, 0);
    header->setSpacing(Spacing::m);
    m_count->setFont(DesignTokens::font(TextStyle::title));
    m_count->setAccessibleName(QStringLiteral("Dictations shown"));
    m_search->setPlaceholderText(QStringLiteral("Search dictations"));
    m_search->setAccessibleName(QStringLiteral("Search dictations"));
    m_search->setClearButtonEnabled(true);
    m_search->setMinimumWidth(240);
    m_clear->setAccessibleName(QStringLiteral("Clear History"));
    header->addWidget(m_count, 1);
    header->addWidget(m_search);
    header->addWidget(m_clear);
    layout->addLayout(header);

    m_list->setModel(m_model);
    m_delegate = new HistoryRowDelegate(*m_list, *m_model);
    m_list->setItemDelegate(m_delegate);
    CardRows::setUpList(*m_list);
    m_list->setAccessibleName(QStringLiteral("Dictations"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_pages->addWidget(m_list);

    auto* empty = new QWidget(m_pages);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch(1);
    auto* emptyTitle = new QLabel(QStringLiteral("No Dictations Yet"), empty);
    emptyTitle->setFont(DesignTokens::font(TextStyle::title));
    for (QLabel* label : {m_emptySymbol, emptyTitle, m_emptyText}) {
        label->setParent(empty);
        label->setAlignment(Qt::AlignCenter);
        emptyLayout->addWidget(label);
    }
    m_emptyText->setWordWrap(true);
    emptyLayout->addStretch(2);
    m_pages->addWidget(empty);
    layout->addWidget(m_pages, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setQuery(text);
        m_list->scrollToTop();
        updateHeader();
    });
    connect(m_clear, &QPushButton::clicked, this, &HistoryView::confirmClear);
    connect(m_delegate, &HistoryRowDelegate::copyRequested, this, [this](const QModelIndex& index) {
        if (const HistoryEntry* entry = m_model->entryAt(index)) {
            copy(*entry);
        }
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, &HistoryView::showMenu);
    connect(&m_state, &AppState::historyChanged, this, &HistoryView::reload);
    connect(&m_state, &AppState::triggerChanged, this, &HistoryView::updateHeader);

    // Keyboard: the search with Ctrl+F, the selected row's text with Ctrl+C, its menu with the menu key.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { m_search->setFocus(Qt::ShortcutFocusReason); });
    auto* copyShortcut = new QShortcut(QKeySequence::Copy, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copyShortcut, &QShortcut::activated, this, [this] {
        if (const HistoryEntry* entry = m_model->entryAt(m_list->currentIndex())) {
            copy(*entry);
        }
    });
    auto* deleteShortcut = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteShortcut, &QShortcut::activated, this, [this] {
        if (const HistoryEntry* entry = m_model->entryAt(m_list->currentIndex())) {
            remove(*entry);
        }
    });
    // Down from the search field goes into the list.
    m_search->installEventFilter(this);

    m_copiedReset.setSingleShot(true);
    m_copiedReset.setInterval(copiedFor);
    connect(&m_copiedReset, &QTimer::timeout, this, [this] { m_model->setCopied(QUuid()); });
    m_dayCheck.setInterval(dayCheckInterval);
    connect(&m_dayCheck, &QTimer::timeout, this, [this] { m_model->setNow(m_clock.wallNow()); });

    reload();
}

HistoryView::~HistoryView() = default;

void HistoryView::reload()
{
    m_model->setHistory(m_state.history(), m_clock.wallNow());
    updateHeader();
}

void HistoryView::updateHeader()
{
    const bool empty = m_state.history().isEmpty();
    m_count->setText(ScreenTexts::dictationCount(m_model->shownCount()));
    m_clear->setEnabled(!empty);
    m_search->setEnabled(!empty || !m_search->text().isEmpty());
    m_emptyText->setText(ScreenTexts::noDictations(m_state.trigger()));
    m_pages->setCurrentIndex(empty ? 1 : 0);
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    m_emptySymbol->setPixmap(
            SymbolNames::icon(QStringLiteral("waveform"), tokens.secondaryText).pixmap(QSize(48, 48), 2.0));
    QPalette secondary = m_emptyText->palette();
    secondary.setColor(QPalette::WindowText, tokens.secondaryText);
    m_emptyText->setPalette(secondary);
    m_clear->setIcon(SymbolNames::icon(QStringLiteral("trash"), tokens.text));
}

void HistoryView::copy(const HistoryEntry& entry)
{
    QGuiApplication::clipboard()->setText(entry.text);
    m_model->setCopied(entry.id);
    m_copiedReset.start();
}

void HistoryView::copyOriginal(const HistoryEntry& entry)
{
    QGuiApplication::clipboard()->setText(entry.raw);
}

void HistoryView::remove(const HistoryEntry& entry)
{
    // A copy: the entry lives in the list that the deletion replaces.
    const HistoryEntry removed = entry;
    m_state.deleteHistoryEntry(removed);
}

void HistoryView::confirmClear()
{
    if (m_state.history().isEmpty() || m_confirmation) {
        return;
    }
    // Window-modal and answered through a signal, so nothing waits in a nested event loop.
    m_confirmation = new QMessageBox(QMessageBox::Warning, ScreenTexts::clearTitle(m_state.history().size()),
                                     ScreenTexts::clearTitle(m_state.history().size()), QMessageBox::NoButton, this);
    m_confirmation->setInformativeText(ScreenTexts::clearMessage());
    QPushButton* clear = m_confirmation->addButton(QStringLiteral("Clear History"), QMessageBox::DestructiveRole);
    QPushButton* cancel = m_confirmation->addButton(QMessageBox::Cancel);
    m_confirmation->setDefaultButton(cancel);
    m_confirmation->setEscapeButton(cancel);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QMessageBox::buttonClicked, this, [this, clear](QAbstractButton* button) {
        if (button == clear) {
            m_state.clearHistory();
        }
    });
    connect(m_confirmation, &QObject::destroyed, this, [this] { m_confirmation = nullptr; });
    m_confirmation->open();
}

void HistoryView::showMenu(const QPoint& position)
{
    QModelIndex index = m_list->indexAt(position);
    QPoint at = position;
    if (!m_model->entryAt(index)) {
        // From the keyboard's menu key: the selected row.
        index = m_list->currentIndex();
        at = m_list->visualRect(index).center();
    }
    const HistoryEntry* entry = m_model->entryAt(index);
    if (!entry) {
        return;
    }
    const HistoryEntry chosen = *entry;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Copy"), this, [this, chosen] { copy(chosen); });
    menu->addAction(QStringLiteral("Copy Original Transcript"), this, [this, chosen] { copyOriginal(chosen); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), this, [this, chosen] { remove(chosen); });
    menu->popup(m_list->viewport()->mapToGlobal(at));
}

bool HistoryView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && m_model->rowCount() > 1) {
        m_list->setFocus(Qt::TabFocusReason);
        if (!m_model->entryAt(m_list->currentIndex())) {
            // The first row is a day's title; its first entry follows.
            m_list->setCurrentIndex(m_model->index(1));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryView::showEvent(QShowEvent* event)
{
    m_model->setNow(m_clock.wallNow());
    m_dayCheck.start();
    QWidget::showEvent(event);
}

void HistoryView::hideEvent(QHideEvent* event)
{
    m_dayCheck.stop();
    QWidget::hideEvent(event);
}

void HistoryView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateHeader();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
