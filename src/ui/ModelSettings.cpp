#include "ui/ModelSettings.h"

#include "session/AppState.h"
#include "text/LocalLanguageModel.h"
#include "ui/SettingsGroup.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/WarningLabel.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr int fieldWidth = 240;

QLabel* valueLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // An engine error can be long: it wraps within the row instead of widening it.
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

} // namespace

ModelSettings::ModelSettings(AppState& state, LocalLanguageModel* languageModel, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_languageModel(languageModel)
    , m_engineStatus(valueLabel(this))
    , m_cleanup(new QComboBox(this))
    , m_address(new QLineEdit(this))
    , m_addressProblem(new WarningLabel(QString()))
    , m_footer(new QLabel(QStringLiteral("Everything Sayloom hears and writes stays on this computer."), this))
{
    setAccessibleName(QStringLiteral("Model"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(Spacing::xl, Spacing::l, Spacing::xl, Spacing::l);
    column->setSpacing(Spacing::l);

    auto* speech = new SettingsGroup(QStringLiteral("Speech Recognition"), this);
    QLabel* engine = valueLabel(this);
    engine->setText(QStringLiteral("PocketSphinx, on this computer"));
    speech->addRow(QStringLiteral("Engine"), engine);
    speech->addRow(QStringLiteral("Status"), m_engineStatus);
    column->addWidget(speech);

    auto* cleanup = new SettingsGroup(QStringLiteral("Text Cleanup"), this);
    m_cleanup->addItem(QStringLiteral("Language model"), true);
    m_cleanup->addItem(QStringLiteral("Basic"), false);
    m_cleanup->setFixedWidth(fieldWidth);
    m_aiStatus = cleanup->addRow(QStringLiteral("Cleanup"), m_cleanup, m_state.aiStatus());
    m_aiStatus->setAccessibleName(QStringLiteral("Language model status"));
    cleanup->addExplanation(
            QStringLiteral("Language model removes filler words, resolves self-corrections (\u201cTuesday, no, "
                           "Friday\u201d) and fixes punctuation, entirely on this computer. Basic only removes fillers "
                           "and stutters, and is instant."));

    m_address->setPlaceholderText(QStringLiteral("http://127.0.0.1:8080/v1"));
    m_address->setFixedWidth(fieldWidth);
    m_address->setClearButtonEnabled(true);
    cleanup->addRow(QStringLiteral("Server address"), m_address);
    cleanup->addNote(m_addressProblem);
    m_addressProblem->hide();

    if (m_languageModel) {
        m_modelPicker = new QComboBox(this);
        m_modelPicker->setEditable(true);
        // Typed names are the setting, not new entries of the list.
        m_modelPicker->setInsertPolicy(QComboBox::NoInsert);
        m_modelPicker->setFixedWidth(fieldWidth);
        m_model = m_modelPicker->lineEdit();
        cleanup->addRow(QStringLiteral("Model"), m_modelPicker);
        connect(m_modelPicker, &QComboBox::activated, this, &ModelSettings::commitModel);
        connect(m_languageModel, &LocalLanguageModel::modelsChanged, this, &ModelSettings::updateModels);
    } else {
        m_model = new QLineEdit(this);
        m_model->setFixedWidth(fieldWidth);
        cleanup->addRow(QStringLiteral("Model"), m_model);
    }
    m_model->setPlaceholderText(QStringLiteral("First model the server lists"));
    column->addWidget(cleanup);

    m_footer->setWordWrap(true);
    m_footer->setFont(DesignTokens::font(TextStyle::caption));
    m_footer->setAlignment(Qt::AlignHCenter);
    column->addWidget(m_footer);
    column->addStretch(1);

    connect(m_cleanup, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_state.setAiCleanupEnabled(m_cleanup->itemData(index).toBool()); });
    connect(m_address, &QLineEdit::editingFinished, this, &ModelSettings::commitAddress);
    connect(m_model, &QLineEdit::editingFinished, this, &ModelSettings::commitModel);

    connect(&m_state, &AppState::engineStatusChanged, this,
            [this] { m_engineStatus->setText(m_state.engineStatus().text()); });
    connect(&m_state, &AppState::aiStatusChanged, this, [this] { m_aiStatus->setText(m_state.aiStatus()); });
    connect(&m_state, &AppState::aiCleanupEnabledChanged, this, [this] {
        const QSignalBlocker quiet(m_cleanup);
        m_cleanup->setCurrentIndex(m_state.aiCleanupEnabled() ? 0 : 1);
    });
    connect(&m_state.preferences(), &Preferences::languageModelURLChanged, this, &ModelSettings::updateAddress);
    connect(&m_state.preferences(), &Preferences::languageModelNameChanged, this, &ModelSettings::updateModel);

    m_engineStatus->setText(m_state.engineStatus().text());
    {
        const QSignalBlocker quiet(m_cleanup);
        m_cleanup->setCurrentIndex(m_state.aiCleanupEnabled() ? 0 : 1);
    }
    updateModels();
    updateAddress();
    updateModel();
    applyColours();
}

ModelSettings::~ModelSettings() = default;

void ModelSettings::commitAddress()
{
    const QString address = m_address->text().trimmed();
    const std::optional<QString> problem = Preferences::serverAddressProblem(address);
    m_addressProblem->setText(problem.value_or(QString()));
    m_addressProblem->setVisible(problem.has_value());
    if (problem) {
        // The address stays in the field to be mended; the stored one keeps working meanwhile.
        return;
    }
    m_state.preferences().setLanguageModelURL(address);
    m_address->setText(m_state.preferences().languageModelURL());
}

void ModelSettings::commitModel()
{
    m_state.preferences().setLanguageModelName(m_model->text());
    m_model->setText(m_state.preferences().languageModelName());
}

void ModelSettings::updateAddress()
{
    m_address->setText(m_state.preferences().languageModelURL());
    m_addressProblem->hide();
}

void ModelSettings::updateModel()
{
    m_model->setText(m_state.preferences().languageModelName());
}

void ModelSettings::updateModels()
{
    if (!m_modelPicker) {
        return;
    }
    // New names from the server must not replace what the field holds.
    const QSignalBlocker quiet(m_modelPicker);
    const QString typed = m_model->text();
    m_modelPicker->clear();
    m_modelPicker->addItems(m_languageModel->models());
    m_modelPicker->setCurrentIndex(m_modelPicker->findText(typed));
    m_model->setText(typed);
}

void ModelSettings::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        applyColours();
    }
    QWidget::changeEvent(event);
}

void ModelSettings::applyColours()
{
    QPalette colours = m_footer->palette();
    colours.setColor(QPalette::WindowText, DesignTokens::fromPalette(palette()).secondaryText);
    m_footer->setPalette(colours);
}

} // namespace sayloom
