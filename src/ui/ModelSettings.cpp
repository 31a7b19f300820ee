#include "ui/ModelSettings.h"

#include "session/AppState.h"
#include "speech/ServerSpeechEngine.h"
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

// An editable list of the names a server offers, whose typed text is the setting.
QComboBox* namePicker(QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    picker->setEditable(true);
    // Typed names are the setting, not new entries of the list.
    picker->setInsertPolicy(QComboBox::NoInsert);
    picker->setFixedWidth(fieldWidth);
    return picker;
}

// Puts the names in the list without touching what the field holds.
void offerNames(QComboBox* picker, const QStringList& names)
{
    const QSignalBlocker quiet(picker);
    const QString typed = picker->lineEdit()->text();
    picker->clear();
    picker->addItems(names);
    picker->setCurrentIndex(picker->findText(typed));
    picker->lineEdit()->setText(typed);
}

} // namespace

ModelSettings::ModelSettings(AppState& state, LocalLanguageModel* languageModel, ServerSpeechEngine* speechEngine,
                             QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_languageModel(languageModel)
    , m_speechEngine(speechEngine)
    , m_engine(new QComboBox(this))
    , m_engineStatus(valueLabel(this))
    , m_speechServer(new SettingsGroup(QString(), this))
    , m_speechAddress(new QLineEdit(this))
    , m_speechAddressProblem(new WarningLabel(QString()))
    , m_speechLanguage(new QLineEdit(this))
    , m_speechKey(new QLineEdit(this))
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
    m_engine->addItem(QStringLiteral("PocketSphinx"), QVariant::fromValue(Preferences::SpeechEngine::pocketsphinx));
    m_engine->addItem(QStringLiteral("Speech server"), QVariant::fromValue(Preferences::SpeechEngine::server));
    m_engine->setFixedWidth(fieldWidth);
    speech->addRow(QStringLiteral("Engine"), m_engine, QStringLiteral("On this computer"));
    speech->addRow(QStringLiteral("Status"), m_engineStatus);
    speech->addExplanation(
            QStringLiteral("A speech server such as whisper.cpp's whisper-server recognises far more words correctly. "
                           "PocketSphinx still shows your words as you speak, and stands in whenever the server "
                           "isn't available."));
    column->addWidget(speech);
    buildSpeechServer(m_speechServer);
    column->addWidget(m_speechServer);

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
        m_modelPicker = namePicker(this);
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

    connect(&m_state, &AppState::engineStatusChanged, this, &ModelSettings::updateEngineStatus);
    connect(&m_state, &AppState::aiStatusChanged, this, [this] { m_aiStatus->setText(m_state.aiStatus()); });
    connect(&m_state, &AppState::aiCleanupEnabledChanged, this, [this] {
        const QSignalBlocker quiet(m_cleanup);
        m_cleanup->setCurrentIndex(m_state.aiCleanupEnabled() ? 0 : 1);
    });
    connect(&m_state.preferences(), &Preferences::languageModelURLChanged, this, &ModelSettings::updateAddress);
    connect(&m_state.preferences(), &Preferences::languageModelNameChanged, this, &ModelSettings::updateModel);

    updateSpeechEngine();
    updateSpeechServer();
    updateSpeechModels();
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

QWidget* ModelSettings::speechServerGroup() const
{
    return m_speechServer;
}

void ModelSettings::buildSpeechServer(SettingsGroup* group)
{
    Preferences& preferences = m_state.preferences();
    m_speechAddress->setPlaceholderText(QStringLiteral("http://127.0.0.1:8080/v1"));
    m_speechAddress->setFixedWidth(fieldWidth);
    m_speechAddress->setClearButtonEnabled(true);
    group->addRow(QStringLiteral("Server address"), m_speechAddress);
    group->addNote(m_speechAddressProblem);
    m_speechAddressProblem->hide();
    if (m_speechEngine) {
        m_speechModelPicker = namePicker(this);
        m_speechModel = m_speechModelPicker->lineEdit();
        group->addRow(QStringLiteral("Model"), m_speechModelPicker);
        connect(m_speechModelPicker, &QComboBox::activated, this,
                [this] { m_state.preferences().setSpeechServerModel(m_speechModel->text()); });
        connect(m_speechEngine, &ServerSpeechEngine::modelsChanged, this, &ModelSettings::updateSpeechModels);
        connect(m_speechEngine, &ServerSpeechEngine::serverStateChanged, this, &ModelSettings::updateEngineStatus);
    } else {
        m_speechModel = new QLineEdit(this);
        m_speechModel->setFixedWidth(fieldWidth);
        group->addRow(QStringLiteral("Model"), m_speechModel);
    }
    m_speechModel->setPlaceholderText(QStringLiteral("First model the server lists"));
    m_speechModel->setAccessibleName(QStringLiteral("Speech model"));
    m_speechLanguage->setPlaceholderText(QStringLiteral("Detected by the server"));
    m_speechLanguage->setFixedWidth(fieldWidth);
    group->addRow(QStringLiteral("Language"), m_speechLanguage);
    m_speechKey->setPlaceholderText(QStringLiteral("None"));
    m_speechKey->setEchoMode(QLineEdit::Password);
    m_speechKey->setFixedWidth(fieldWidth);
    group->addRow(QStringLiteral("API key"), m_speechKey);
    group->addExplanation(QStringLiteral("The server's OpenAI-compatible address, such as http://127.0.0.1:8000/v1 "
                                         "for speaches or LocalAI; for whisper.cpp's whisper-server, its /inference "
                                         "address, such as http://127.0.0.1:8080/inference."));

    connect(m_engine, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_state.preferences().setSpeechEngine(m_engine->itemData(index).value<Preferences::SpeechEngine>());
    });
    connect(m_speechAddress, &QLineEdit::editingFinished, this, &ModelSettings::commitSpeechAddress);
    connect(m_speechModel, &QLineEdit::editingFinished, this,
            [this] { m_state.preferences().setSpeechServerModel(m_speechModel->text()); });
    connect(m_speechLanguage, &QLineEdit::editingFinished, this,
            [this] { m_state.preferences().setSpeechServerLanguage(m_speechLanguage->text()); });
    connect(m_speechKey, &QLineEdit::editingFinished, this,
            [this] { m_state.preferences().setSpeechServerAPIKey(m_speechKey->text()); });
    connect(&preferences, &Preferences::speechEngineChanged, this, &ModelSettings::updateSpeechEngine);
    connect(&preferences, &Preferences::speechServerChanged, this, &ModelSettings::updateSpeechServer);
}

void ModelSettings::commitSpeechAddress()
{
    const QString address = m_speechAddress->text().trimmed();
    const std::optional<QString> problem = Preferences::serverAddressProblem(address);
    m_speechAddressProblem->setText(problem.value_or(QString()));
    m_speechAddressProblem->setVisible(problem.has_value());
    if (problem) {
        // The address stays in the field to be mended; the stored one keeps working meanwhile.
        return;
    }
    m_state.preferences().setSpeechServerURL(address);
    m_speechAddress->setText(m_state.preferences().speechServerURL());
}

void ModelSettings::updateSpeechEngine()
{
    const bool server = m_state.preferences().speechEngine() == Preferences::SpeechEngine::server;
    {
        const QSignalBlocker quiet(m_engine);
        m_engine->setCurrentIndex(server ? 1 : 0);
    }
    m_speechServer->setVisible(server);
    updateEngineStatus();
}

void ModelSettings::updateSpeechServer()
{
    const Preferences& preferences = m_state.preferences();
    // An address being mended keeps its text and its explanation until a usable one is stored.
    if (!m_speechAddressProblem->isVisible()) {
        m_speechAddress->setText(preferences.speechServerURL());
    }
    m_speechModel->setText(preferences.speechServerModel());
    m_speechLanguage->setText(preferences.speechServerLanguage());
    m_speechKey->setText(preferences.speechServerAPIKey());
}

void ModelSettings::updateSpeechModels()
{
    if (m_speechModelPicker) {
        offerNames(m_speechModelPicker, m_speechEngine->models());
    }
}

void ModelSettings::updateEngineStatus()
{
    const EngineStatus& status = m_state.engineStatus();
    // Once the engine is ready, whether its server answers is what there is to tell.
    const bool server = m_state.preferences().speechEngine() == Preferences::SpeechEngine::server;
    if (m_speechEngine && server && status.kind() == EngineStatus::Kind::ready &&
        !m_speechEngine->serverStatus().isEmpty()) {
        m_engineStatus->setText(m_speechEngine->serverStatus());
        return;
    }
    m_engineStatus->setText(status.text());
}

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
    if (m_modelPicker) {
        offerNames(m_modelPicker, m_languageModel->models());
    }
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
