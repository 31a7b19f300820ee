#include "ui/HomeView.h"

#include "history/Stats.h"
#include "session/AppState.h"
#include "session/ports/Clock.h"
#include "session/ports/Permissions.h"
#include "ui/HistoryRowWidget.h"
#include "ui/ScreenTexts.h"
#include "ui/SymbolNames.h"
#include "ui/design/Card.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/LevelWaveform.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr int recentCount = 3;

const QString accessibilityReason = QStringLiteral("To watch the hotkey and type the text where your cursor is.");

// The live transcript as one line: the end of what was said, which is what the speaker is looking for.
class ElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;

    void setFullText(const QString& text)
    {
        m_full = text;
        elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

private:
    void elide()
    {
        const QString line = QString(m_full).replace(u'\n', u' ');
        setText(fontMetrics().elidedText(line, Qt::ElideLeft, std::max(0, width())));
        setAccessibleName(m_full);
    }

    QString m_full;
};

QLabel* secondaryLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setProperty("secondary", true);
    label->setWordWrap(true);
    label->setFont(DesignTokens::font(TextStyle::callout));
    return label;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setProperty("divider", true);
    line->setAutoFillBackground(true);
    return line;
}

} // namespace

HomeView::HomeView(AppState& state, Clock& clock, Permissions& permissions, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_clock(clock)
    , m_permissions(permissions)
{
    setAccessibleName(QStringLiteral("Home"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    outer->addWidget(scroll);
    auto* page = new QWidget(scroll);
    page->setBackgroundRole(QPalette::Window);
    scroll->setWidget(page);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::xl);
    column->setSpacing(Spacing::xl);

    // The recorder.
    auto* recorder = new Card(page);
    recorder->setAccessibleName(QStringLiteral("Recorder"));
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(Spacing::s);
    m_statusSymbol = new QLabel(recorder);
    m_statusSymbol->setFixedSize(20, 20);
    m_status = new QLabel(recorder);
    m_status->setFont(DesignTokens::font(TextStyle::title));
    m_status->setWordWrap(true);
    m_record = new QPushButton(recorder);
    m_record->setDefault(true);
    m_record->setIconSize(QSize(16, 16));
    statusRow->addWidget(m_statusSymbol);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_record);
    recorder->contentLayout()->addLayout(statusRow);
    m_waveform = new LevelWaveform(recorder);
    m_waveform->setFixedHeight(40);
    m_waveform->setAccessibleName(QStringLiteral("Input level"));
    recorder->contentLayout()->addWidget(m_waveform);
    auto* transcript = new ElidedLabel(recorder);
    transcript->setFont(DesignTokens::font(TextStyle::body));
    m_transcript = transcript;
    recorder->contentLayout()->addWidget(m_transcript);
    m_hint = secondaryLabel(QString(), recorder);
    recorder->contentLayout()->addWidget(m_hint);
    column->addWidget(recorder);

    // What is missing before dictation can work.
    m_banner = new Card(page);
    m_banner->setAccessibleName(QStringLiteral("Permissions"));
    auto* bannerTitle = new QLabel(QStringLiteral("Sayloom needs permission to work"), m_banner);
    bannerTitle->setFont(DesignTokens::font(TextStyle::headline));
    m_banner->contentLayout()->addWidget(bannerTitle);
    const auto permissionRow = [this](const QString& name, const QString& reason, const QString& address) {
        auto* row = new QWidget(m_banner);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(Spacing::m);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* title = new QLabel(name, row);
        title->setFont(DesignTokens::font(TextStyle::body));
        title->setObjectName(QStringLiteral("title"));
        texts->addWidget(title);
        QLabel* below = secondaryLabel(reason, row);
        below->setObjectName(QStringLiteral("reason"));
        texts->addWidget(below);
        layout->addLayout(texts, 1);
        auto* open = new QPushButton(QStringLiteral("Open Settings"), row);
        open->setAccessibleName(u"Open Settings for " + name);
        layout->addWidget(open, 0, Qt::AlignVCenter);
        connect(open, &QPushButton::clicked, this, [this, address] { m_permissions.open(address); });
        m_banner->contentLayout()->addWidget(row);
        return row;
    };
    m_microphoneRow = permissionRow(QStringLiteral("Microphone"), QStringLiteral("To hear you while you dictate."),
                                    Permissions::microphonePage());
    m_accessibilityRow =
            permissionRow(ScreenTexts::accessibilityTitle({}), accessibilityReason, Permissions::accessibilityPage());
    column->addWidget(m_banner);

    // Without a tray the window is the only way in, and closing it does not quit.
    m_trayHint = new Card(page);
    m_trayHint->setAccessibleName(QStringLiteral("No tray"));
    auto* trayTitle = new QLabel(QStringLiteral("Sayloom keeps running when you close this window"), m_trayHint);
    trayTitle->setFont(DesignTokens::font(TextStyle::headline));
    trayTitle->setWordWrap(true);
    m_trayHint->contentLayout()->addWidget(trayTitle);
    m_trayHint->contentLayout()->addWidget(secondaryLabel(
            QStringLiteral("This desktop shows no tray icons, so Sayloom has no icon in the top bar. On GNOME, install "
                           "the AppIndicator extension (package gnome-shell-extension-appindicator), turn it on in "
                           "Extensions and log in again. Until then, open this window again from the applications "
                           "menu, and quit with Ctrl+Q or Sayloom \u25b8 Quit Sayloom."),
            m_trayHint));
    m_trayHint->hide();
    column->addWidget(m_trayHint);

    // The figures.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(Spacing::m);
    const QList<Stats::Tile> tiles = Stats().tiles();
    for (int i = 0; i < tiles.size(); ++i) {
        auto* tile = new Card(page);
        auto* icon = new QLabel(tile);
        icon->setFixedSize(20, 20);
        auto* value = new QLabel(tile);
        value->setFont(DesignTokens::font(TextStyle::largeNumber));
        auto* label = secondaryLabel(tiles[i].label, tile);
        tile->contentLayout()->setSpacing(Spacing::xs);
        tile->contentLayout()->addWidget(icon);
        tile->contentLayout()->addWidget(value);
        tile->contentLayout()->addWidget(label);
        grid->addWidget(tile, 0, i);
        grid->setColumnStretch(i, 1);
        m_tiles.append(Tile{tiles[i].symbol, icon, value, label});
    }
    column->addLayout(grid);

    // The latest takes.
    auto* recentHeader = new QHBoxLayout;
    auto* recentTitle = new QLabel(QStringLiteral("Recent"), page);
    recentTitle->setFont(DesignTokens::font(TextStyle::headline));
    m_showAll = new QPushButton(QStringLiteral("Show All"), page);
    m_showAll->setFlat(true);
    m_showAll->setCursor(Qt::PointingHandCursor);
    m_showAll->setProperty("link", true);
    recentHeader->addWidget(recentTitle, 1);
    recentHeader->addWidget(m_showAll);
    auto* recentSection = new QVBoxLayout;
    recentSection->setSpacing(Spacing::s);
    recentSection->addLayout(recentHeader);
    m_recentCard = new Card(page);
    m_recentCard->setAccessibleName(QStringLiteral("Recent dictations"));
    m_recentLayout = m_recentCard->contentLayout();
    m_noRecent = secondaryLabel(QString(), m_recentCard);
    m_recentLayout->addWidget(m_noRecent);
    recentSection->addWidget(m_recentCard);
    column->addLayout(recentSection);
    column->addStretch(1);

    connect(m_record, &QPushButton::clicked, &m_state, &AppState::toggleRecording);
    connect(m_showAll, &QPushButton::clicked, this, &HomeView::showAllRequested);
    for (const auto signal : {&AppState::phaseChanged, &AppState::isLockedChanged, &AppState::triggerChanged}) {
        connect(&m_state, signal, this, &HomeView::updateRecorder);
    }
    // Levels come many times a second while recording: only the waveform follows them.
    connect(&m_state, &AppState::levelHistoryChanged, this, [this] { m_waveform->setLevels(m_state.levelHistory()); });
    connect(&m_state, &AppState::liveTranscriptChanged, this, &HomeView::updateTranscript);
    connect(&m_state, &AppState::microphoneGrantedChanged, this, &HomeView::updatePermissions);
    connect(&m_state, &AppState::accessibilityGrantedChanged, this, &HomeView::updatePermissions);
    connect(&m_state, &AppState::accessibilityGapsChanged, this, &HomeView::updatePermissions);
    connect(&m_state, &AppState::historyChanged, this, &HomeView::updateStats);
    connect(&m_state, &AppState::historyChanged, this, &HomeView::updateRecent);
    connect(&m_state, &AppState::triggerChanged, this, &HomeView::updateRecent);
    m_statsTimer.setInterval(std::chrono::minutes(1));
    connect(&m_statsTimer, &QTimer::timeout, this, &HomeView::updateStats);

    updateColours();
    updateRecorder();
    updatePermissions();
    updateStats();
    updateRecent();
}

HomeView::~HomeView() = default;

QList<HistoryRowWidget*> HomeView::recentRows() const
{
    return m_recentCard->findChildren<HistoryRowWidget*>();
}

void HomeView::setTrayHintVisible(bool visible)
{
    m_trayHint->setVisible(visible);
}

QWidget* HomeView::trayHint() const
{
    return m_trayHint;
}

QWidget* HomeView::permissionBanner() const
{
    return m_banner;
}

void HomeView::updateRecorder()
{
    const AppState::Phase& phase = m_state.phase();
    const bool recording = phase.is(AppState::Phase::Kind::recording);
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    m_status->setText(ScreenTexts::recorderStatus(phase, m_state.isLocked()));
    const QString symbol = ScreenTexts::recorderSymbol(phase);
    const QColor symbolColour = recording                                ? tokens.recording
                                : phase.is(AppState::Phase::Kind::error) ? tokens.recording
                                                                         : tokens.secondaryText;
    m_statusSymbol->setPixmap(SymbolNames::icon(symbol, symbolColour).pixmap(QSize(20, 20), 2.0));
    m_record->setText(ScreenTexts::recordButtonTitle(phase));
    m_record->setAccessibleName(ScreenTexts::recordButtonTitle(phase));
    m_record->setIcon(SymbolNames::icon(ScreenTexts::recordButtonSymbol(phase), tokens.text));
    m_waveform->setVisible(recording);
    m_waveform->setColor(tokens.recording);
    m_waveform->setLevels(m_state.levelHistory());
    m_hint->setText(ScreenTexts::dictateHint(m_state.trigger()));
    updateTranscript();
}

void HomeView::updateTranscript()
{
    static_cast<ElidedLabel*>(m_transcript)->setFullText(m_state.liveTranscript());
    m_transcript->setVisible(m_state.phase().is(AppState::Phase::Kind::recording) &&
                             !m_state.liveTranscript().isEmpty());
}

void HomeView::updatePermissions()
{
    const bool microphone = m_state.microphoneGranted();
    const bool accessibility = m_state.accessibilityGranted();
    m_microphoneRow->setVisible(!microphone);
    m_accessibilityRow->setVisible(!accessibility);
    const QList<AccessGap> gaps = m_state.accessibilityGaps();
    m_accessibilityRow->findChild<QLabel*>(QStringLiteral("title"))->setText(ScreenTexts::accessibilityTitle(gaps));
    m_accessibilityRow->findChild<QLabel*>(QStringLiteral("reason"))
            ->setText(ScreenTexts::accessibilityReason(gaps, accessibilityReason));
    m_banner->setVisible(!microphone || !accessibility);
}

void HomeView::updateStats()
{
    const QList<Stats::Tile> tiles = Stats(m_state.history(), m_clock.wallNow()).tiles();
    for (int i = 0; i < tiles.size() && i < m_tiles.size(); ++i) {
        m_tiles[i].value->setText(tiles[i].value);
        m_tiles[i].value->setAccessibleName(tiles[i].label + u": " + tiles[i].value);
    }
}

void HomeView::updateRecent()
{
    // Rows and dividers are rebuilt: there are at most three, and the history changes once per dictation.
    while (QLayoutItem* item = m_recentLayout->takeAt(0)) {
        if (QWidget* widget = item->widget(); widget && widget != m_noRecent) {
            // Later, as the row may be the one asking for its own deletion; out of the card at once.
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    const QList<HistoryEntry>& history = m_state.history();
    m_noRecent->setText(ScreenTexts::noRecentTakes(m_state.trigger()));
    m_noRecent->setVisible(history.isEmpty());
    m_recentLayout->addWidget(m_noRecent);
    for (qsizetype i = 0; i < std::min<qsizetype>(recentCount, history.size()); ++i) {
        if (i > 0) {
            m_recentLayout->addWidget(divider(m_recentCard));
        }
        auto* row = new HistoryRowWidget(history[i], m_recentCard);
        connect(row, &HistoryRowWidget::deleteRequested, this,
                [this](const HistoryEntry& entry) { m_state.deleteHistoryEntry(entry); });
        m_recentLayout->addWidget(row);
    }
    updateColours();
}

void HomeView::updateColours()
{
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->property("secondary").toBool()) {
            QPalette secondary = label->palette();
            secondary.setColor(QPalette::WindowText, tokens.secondaryText);
            label->setPalette(secondary);
        }
    }
    for (QFrame* line : findChildren<QFrame*>()) {
        if (line->property("divider").toBool()) {
            QPalette colours = line->palette();
            colours.setColor(QPalette::Window, tokens.separator);
            line->setPalette(colours);
        }
    }
    QPalette link = m_showAll->palette();
    link.setColor(QPalette::ButtonText, tokens.accent);
    m_showAll->setPalette(link);
    for (const Tile& tile : m_tiles) {
        tile.icon->setPixmap(SymbolNames::icon(tile.symbol, tokens.accent).pixmap(QSize(20, 20), 2.0));
    }
}

void HomeView::showEvent(QShowEvent* event)
{
    updateStats();
    m_statsTimer.start();
    QWidget::showEvent(event);
}

void HomeView::hideEvent(QHideEvent* event)
{
    m_statsTimer.stop();
    QWidget::hideEvent(event);
}

void HomeView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateColours();
        updateRecorder();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
