#include "ui/SettingsWindow.h"

#include "ui/GeneralSettings.h"
#include "ui/ModelSettings.h"
#include "ui/PermissionSettings.h"
#include "ui/SymbolNames.h"
#include "ui/design/DesignTokens.h"

#include <QEvent>
#include <QKeySequence>
#include <QScrollArea>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sayloom {

namespace {

// Wide enough for every pane at its designed width, tall enough for the longest one.
constexpr QSize windowSize{560, 540};

// The pane scrolls rather than being cut off when the window is made small or the font large.
QScrollArea* scrolling(QWidget* pane, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    scroll->setWidget(pane);
    return scroll;
}

struct Tab {
    const char* title;
    const char* symbol;
};

constexpr Tab tabList[] = {{"General", "gearshape"}, {"Model", "cpu"}, {"Permissions", "lock.shield"}};

} // namespace

SettingsWindow::SettingsWindow(WindowParts parts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_general(new GeneralSettings(parts.state, parts.inputDevices, parts.loginItem))
    , m_model(new ModelSettings(parts.state, parts.languageModel, parts.speechEngine))
    , m_permissions(new PermissionSettings(parts.state, parts.permissions))
{
    setWindowTitle(QStringLiteral("Sayloom Settings"));
    resize(windowSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, Spacing::s, 0, 0);
    m_tabs->setDocumentMode(true);
    m_tabs->tabBar()->setExpanding(false);
    m_tabs->setIconSize(QSize(16, 16));
    int index = 0;
    for (QWidget* pane : std::initializer_list<QWidget*>{m_general, m_model, m_permissions}) {
        m_tabs->addTab(scrolling(pane, m_tabs), QString::fromLatin1(tabList[index++].title));
    }
    layout->addWidget(m_tabs);

    // Escape and Ctrl+W close it, as they close settings windows on GNOME and Plasma.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    }
    updateSymbols();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::updateSymbols()
{
    const QColor colour = DesignTokens::fromPalette(palette()).text;
    for (int i = 0; i < m_tabs->count(); ++i) {
        m_tabs->setTabIcon(i, SymbolNames::icon(QString::fromLatin1(tabList[i].symbol), colour));
    }
}

void SettingsWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateSymbols();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
