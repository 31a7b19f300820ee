#include "ui/MainWindow.h"

#include "session/AppState.h"
#include "ui/DictionaryView.h"
#include "ui/HistoryView.h"
#include "ui/HomeView.h"
#include "ui/RecorderCommands.h"
#include "ui/ScreenTexts.h"
#include "ui/SettingsWindow.h"
#include "ui/SymbolNames.h"
#include "ui/design/DesignTokens.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr QSize windowSize{980, 720};
constexpr int sidebarWidth = 200;
const QList<MainWindow::SidebarItem> items{MainWindow::SidebarItem::home, MainWindow::SidebarItem::history,
                                           MainWindow::SidebarItem::dictionary};

// Sidebar rows as GNOME draws them: the chosen one on a rounded, pale accent ground, the text keeping its colour.
class SidebarDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const DesignTokens tokens = DesignTokens::fromPalette(option.palette);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF ground = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = Qt::transparent;
        if (option.state & QStyle::State_Selected) {
            fill = tokens.accent;
            fill.setAlphaF(tokens.appearance == Appearance::dark ? 0.30f : 0.16f);
        } else if (option.state & QStyle::State_MouseOver) {
            fill = tokens.text;
            fill.setAlphaF(0.06f);
        }
        QPainterPath path;
        path.addRoundedRect(ground, Radius::control, Radius::control);
        painter->fillPath(path, fill);
        if (option.state & QStyle::State_HasFocus && option.widget && option.widget->hasFocus()) {
            painter->setPen(QPen(tokens.accent, 2));
            painter->drawPath(path);
        }
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const QRect iconRect(option.rect.left() + Spacing::m, option.rect.center().y() - 8, 16, 16);
        icon.paint(painter, iconRect);
        painter->setPen(tokens.text);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(iconRect.right() + Spacing::m - option.rect.left(), 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
};

} // namespace

MainWindow::MainWindow(WindowParts parts, QWidget* parent)
    : QWidget(parent)
    , m_parts(parts)
    , m_state(parts.state)
    , m_sidebar(new QListWidget(this))
    , m_status(new QLabel(this))
    , m_screens(new QStackedWidget(this))
    , m_home(new HomeView(parts.state, parts.clock, parts.permissions, m_screens))
    , m_history(new HistoryView(parts.state, parts.clock, m_screens))
    , m_dictionary(new DictionaryView(parts.state.dictionary(), parts.files, m_screens))
    , m_commands(new RecorderCommands(parts.state, parts.files, this))
    , m_menuBar(new QMenuBar(this))
{
    setWindowTitle(QStringLiteral("Sayloom"));
    resize(windowSize);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The application's own commands, as its main menu on other systems: the settings and Quit, then dictation.
    QMenu* application = m_menuBar->addMenu(QStringLiteral("&Sayloom"));
    QAction* settings = application->addAction(QStringLiteral("Settings\u2026"), this, &MainWindow::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    application->addSeparator();
    QAction* quit = application->addAction(QStringLiteral("Quit Sayloom"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_menuBar->addMenu(m_commands->createMenu(m_menuBar));
    layout->setMenuBar(m_menuBar);

    auto* side = new QWidget(this);
    side->setFixedWidth(sidebarWidth);
    side->setAutoFillBackground(true);
    side->setBackgroundRole(QPalette::Base);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(Spacing::s, Spacing::m, Spacing::s, Spacing::m);
    sideLayout->setSpacing(Spacing::s);
    m_sidebar->setParent(side);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setAccessibleName(QStringLiteral("Sidebar"));
    m_sidebar->setIconSize(QSize(16, 16));
    m_sidebar->setSpacing(2);
    m_sidebar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_sidebar->setItemDelegate(new SidebarDelegate(m_sidebar));
    m_sidebar->setMouseTracking(true);
    m_sidebar->viewport()->setBackgroundRole(QPalette::Base);
    for (const SidebarItem item : items) {
        auto* entry = new QListWidgetItem(title(item), m_sidebar);
        entry->setData(Qt::UserRole, rawValue(item));
        entry->setSizeHint(QSize(0, 36));
    }
    sideLayout->addWidget(m_sidebar, 1);
    // The settings are one click away, not only behind Ctrl+,.
    m_settingsButton = new QToolButton(side);
    m_settingsButton->setText(QStringLiteral("Settings"));
    m_settingsButton->setToolTip(QStringLiteral("Settings (Ctrl+,)"));
    m_settingsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_settingsButton->setAutoRaise(true);
    m_settingsButton->setIconSize(QSize(16, 16));
    connect(m_settingsButton, &QToolButton::clicked, this, &MainWindow::openSettings);
    auto* settingsRow = new QHBoxLayout;
    // Its symbol lines up with the screens' symbols above it.
    settingsRow->addSpacing(Spacing::s);
    settingsRow->addWidget(m_settingsButton);
    settingsRow->addStretch(1);
    sideLayout->addLayout(settingsRow);
    m_status->setParent(side);
    m_status->setFont(DesignTokens::font(TextStyle::caption));
    m_status->setContentsMargins(Spacing::s, 0, Spacing::s, 0);
    m_status->setAccessibleName(QStringLiteral("Status"));
    sideLayout->addWidget(m_status);
    layout->addWidget(side);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    layout->addWidget(line);

    m_screens->addWidget(m_home);
    m_screens->addWidget(m_history);
    m_screens->addWidget(m_dictionary);
    m_screens->setAutoFillBackground(true);
    m_screens->setBackgroundRole(QPalette::Window);
    layout->addWidget(m_screens, 1);

    connect(m_sidebar, &QListWidget::currentRowChanged, m_screens, &QStackedWidget::setCurrentIndex);
    connect(m_home, &HomeView::showAllRequested, this, [this] { select(SidebarItem::history); });
    for (const auto signal :
         {&AppState::phaseChanged, &AppState::microphoneGrantedChanged, &AppState::accessibilityGrantedChanged}) {
        connect(&m_state, signal, this, &MainWindow::updateStatus);
    }
    // Ctrl+1, Ctrl+2 and Ctrl+3 reach the screens from anywhere in the window.
    for (int i = 0; i < items.size(); ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), this);
        connect(shortcut, &QShortcut::activated, this, [this, i] { select(items[i]); });
    }

    m_home->setTrayHintVisible(!parts.trayAvailable);
    select(SidebarItem::home);
    updateStatus();
    updateSymbols();
}

MainWindow::~MainWindow() = default;

QString MainWindow::rawValue(SidebarItem item)
{
    switch (item) {
    case SidebarItem::home:
        return QStringLiteral("home");
    case SidebarItem::history:
        return QStringLiteral("history");
    case SidebarItem::dictionary:
        return QStringLiteral("dictionary");
    }
    return {};
}

QString MainWindow::title(SidebarItem item)
{
    switch (item) {
    case SidebarItem::home:
        return QStringLiteral("Home");
    case SidebarItem::history:
        return QStringLiteral("History");
    case SidebarItem::dictionary:
        return QStringLiteral("Dictionary");
    }
    return {};
}

QString MainWindow::symbol(SidebarItem item)
{
    switch (item) {
    case SidebarItem::home:
        return QStringLiteral("waveform");
    case SidebarItem::history:
        return QStringLiteral("clock");
    case SidebarItem::dictionary:
        return QStringLiteral("character.book.closed");
    }
    return {};
}

std::optional<MainWindow::SidebarItem> MainWindow::selection() const
{
    const int row = m_sidebar->currentRow();
    if (row < 0 || row >= items.size()) {
        return std::nullopt;
    }
    return items[row];
}

void MainWindow::select(SidebarItem item)
{
    m_sidebar->setCurrentRow(int(items.indexOf(item)));
}

void MainWindow::present()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = new SettingsWindow(m_parts, this);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void MainWindow::updateStatus()
{
    m_status->setText(
            ScreenTexts::sidebarStatus(m_state.phase(), m_state.microphoneGranted(), m_state.accessibilityGranted()));
}

void MainWindow::updateSymbols()
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    for (int i = 0; i < items.size(); ++i) {
        m_sidebar->item(i)->setIcon(SymbolNames::icon(symbol(items[i]), tokens.text));
    }
    m_settingsButton->setIcon(SymbolNames::icon(QStringLiteral("gearshape"), tokens.text));
    QPalette secondary = m_status->palette();
    secondary.setColor(QPalette::WindowText, tokens.secondaryText);
    m_status->setPalette(secondary);
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateSymbols();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
