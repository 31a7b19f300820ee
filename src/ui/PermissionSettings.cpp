#include "ui/PermissionSettings.h"

#include "session/AppState.h"
#include "session/ports/Permissions.h"
#include "ui/ScreenTexts.h"
#include "ui/SettingsGroup.h"
#include "ui/SymbolNames.h"
#include "ui/design/DesignTokens.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr int symbolSize = 16;

const QString accessibilityNeed = QStringLiteral("To watch the hotkey and type where your cursor is.");

} // namespace

PermissionSettings::PermissionSettings(AppState& state, Permissions& permissions, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_permissions(permissions)
{
    setAccessibleName(QStringLiteral("Permissions"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::xl);
    column->setSpacing(Spacing::l);
    auto* group = new SettingsGroup(QString(), this);
    m_microphone = addRow(*group, QStringLiteral("Microphone"), QStringLiteral("To hear you while you dictate."),
                          Permissions::microphonePage());
    m_accessibility =
            addRow(*group, ScreenTexts::accessibilityTitle({}), accessibilityNeed, Permissions::accessibilityPage());
    column->addWidget(group);
    column->addStretch(1);

    connect(&m_state, &AppState::microphoneGrantedChanged, this, &PermissionSettings::updateRows);
    connect(&m_state, &AppState::accessibilityGrantedChanged, this, &PermissionSettings::updateRows);
    connect(&m_state, &AppState::accessibilityGapsChanged, this, &PermissionSettings::updateRows);
    updateRows();
}

PermissionSettings::~PermissionSettings() = default;

PermissionSettings::Row PermissionSettings::addRow(SettingsGroup& group, const QString& title, const QString& reason,
                                                   const QString& page)
{
    auto* status = new QWidget;
    auto* layout = new QHBoxLayout(status);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Spacing::s);
    Row row;
    row.symbol = new QLabel(status);
    row.symbol->setFixedSize(symbolSize, symbolSize);
    row.allowed = new QLabel(QStringLiteral("Allowed"), status);
    row.open = new QPushButton(QStringLiteral("Open Settings"), status);
    row.open->setAccessibleName(u"Open Settings for " + title);
    layout->addWidget(row.symbol);
    layout->addWidget(row.allowed);
    layout->addWidget(row.open);
    status->setAccessibleName(title);
    row.reason = group.addRow(title, status, reason);
    for (auto* label : row.reason->parentWidget()->findChildren<QLabel*>()) {
        if (label->buddy() == status) {
            row.title = label;
        }
    }
    connect(row.open, &QPushButton::clicked, this, [this, page] { m_permissions.open(page); });
    return row;
}

void PermissionSettings::updateRows()
{
    const QList<AccessGap> gaps = m_state.accessibilityGaps();
    m_accessibility.title->setText(ScreenTexts::accessibilityTitle(gaps));
    m_accessibility.reason->setText(ScreenTexts::accessibilityReason(gaps, accessibilityNeed));
    const DesignTokens tokens = DesignTokens::fromPalette(palette());
    for (const auto& [row, granted] : {std::pair(m_microphone, m_state.microphoneGranted()),
                                       std::pair(m_accessibility, m_state.accessibilityGranted())}) {
        row.allowed->setVisible(granted);
        row.open->setVisible(!granted);
        const QString symbol =
                granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.circle.fill");
        row.symbol->setPixmap(SymbolNames::icon(symbol, granted ? tokens.accent : tokens.recording)
                                      .pixmap(QSize(symbolSize, symbolSize), 2.0));
        row.symbol->setAccessibleName(granted ? QStringLiteral("Allowed") : QStringLiteral("Not allowed"));
    }
}

void PermissionSettings::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateRows();
    }
    QWidget::changeEvent(event);
}

} // namespace sayloom
