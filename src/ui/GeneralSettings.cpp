#include "ui/GeneralSettings.h"

#include "session/AppState.h"
#include "session/InputDevices.h"
#include "session/ports/LoginItem.h"
#include "session/ports/Trigger.h"
#include "ui/SettingsGroup.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/ToggleSwitch.h"
#include "ui/design/WarningLabel.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr int pickerWidth = 240;

QComboBox* picker(QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    // Long device names are cut short rather than pushing the row wider than the window.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(16);
    combo->setFixedWidth(pickerWidth);
    return combo;
}

} // namespace

GeneralSettings::GeneralSettings(AppState& state, InputDevices& inputDevices, LoginItem& loginItem, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_inputDevices(inputDevices)
    , m_loginItem(loginItem)
    , m_trigger(picker(this))
    , m_fnWarning(new WarningLabel(
              QStringLiteral("Most keyboards handle Fn themselves; pick another key if holding Fn does nothing.")))
    , m_microphone(picker(this))
    , m_sounds(new ToggleSwitch(this))
    , m_login(new ToggleSwitch(this))
    , m_loginErrorLabel(new WarningLabel(QString()))
{
    setAccessibleName(QStringLiteral("General"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::xl);
    column->setSpacing(Spacing::xl);

    auto* hotkey = new SettingsGroup(QStringLiteral("Hotkey"), this);
    for (const Trigger trigger : allTriggers()) {
        m_trigger->addItem(displayName(trigger), rawValue(trigger));
    }
    hotkey->addRow(QStringLiteral("Hold to dictate"), m_trigger);
    hotkey->addExplanation(QStringLiteral(
            "Hold to dictate. Double-tap to keep recording hands-free, then tap again to finish. Esc cancels."));
    hotkey->addNote(m_fnWarning);
    column->addWidget(hotkey);

    auto* input = new SettingsGroup(QStringLiteral("Input"), this);
    input->addRow(QStringLiteral("Microphone"), m_microphone);
    input->addExplanation(QStringLiteral("Automatic uses the built-in microphone when your default is a Bluetooth "
                                         "headset, which would otherwise switch into low-quality call mode."));
    input->addRow(QStringLiteral("Play start and stop sounds"), m_sounds);
    column->addWidget(input);

    auto* startup = new SettingsGroup(QStringLiteral("Startup"), this);
    startup->addRow(QStringLiteral("Open Sayloom at login"), m_login);
    startup->addNote(m_loginErrorLabel);
    m_loginErrorLabel->hide();
    column->addWidget(startup);
    column->addStretch(1);

    connect(m_trigger, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (const auto trigger = triggerFromRawValue(m_trigger->itemData(index).toString())) {
            m_state.setTrigger(*trigger);
        }
    });
    connect(m_microphone, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < m_choices.size()) {
            m_state.setMicrophone(m_choices[index]);
        }
    });
    connect(m_sounds, &ToggleSwitch::clicked, &m_state, &AppState::setSoundsEnabled);
    connect(m_login, &ToggleSwitch::clicked, this, &GeneralSettings::changeLogin);

    connect(&m_state, &AppState::triggerChanged, this, &GeneralSettings::updateTrigger);
    connect(&m_state, &AppState::microphoneChanged, this, &GeneralSettings::updateMicrophones);
    connect(&m_state, &AppState::soundsEnabledChanged, this, [this] { m_sounds->setChecked(m_state.soundsEnabled()); });
    connect(&m_inputDevices, &InputDevices::devicesChanged, this, &GeneralSettings::readDevices);

    updateTrigger();
    m_sounds->setChecked(m_state.soundsEnabled());
    readDevices();
    updateLogin();
}

GeneralSettings::~GeneralSettings() = default;

bool GeneralSettings::launchAtLogin() const
{
    return m_login->isChecked();
}

void GeneralSettings::showEvent(QShowEvent* event)
{
    // Devices come and go and the autostart entry can be changed elsewhere while the pane is away.
    readDevices();
    updateLogin();
    QWidget::showEvent(event);
}

void GeneralSettings::readDevices()
{
    m_devices = m_inputDevices.inputDevices();
    for (const AudioInputDevice& device : m_devices) {
        m_namesSeen.insert(device.uid, device.name);
    }
    updateMicrophones();
}

void GeneralSettings::updateTrigger()
{
    const QSignalBlocker quiet(m_trigger);
    m_trigger->setCurrentIndex(m_trigger->findData(rawValue(m_state.trigger())));
    m_fnWarning->setVisible(m_state.trigger() == Trigger::fn);
}

void GeneralSettings::updateMicrophones()
{
    const QSignalBlocker quiet(m_microphone);
    const MicrophonePreference& chosen = m_state.microphone();
    m_microphone->clear();
    m_choices = {MicrophonePreference::automatic(), MicrophonePreference::systemDefault()};
    m_microphone->addItem(QStringLiteral("Automatic"));
    m_microphone->addItem(QStringLiteral("System Default"));
    for (const AudioInputDevice& device : m_devices) {
        m_choices.append(MicrophonePreference::device(device.uid));
        m_microphone->addItem(device.name);
        m_microphone->setItemData(m_microphone->count() - 1, device.uid, Qt::ToolTipRole);
    }
    qsizetype index = m_choices.indexOf(chosen);
    if (index < 0) {
        // The chosen device is unplugged. A take then records as Automatic would, but the choice stays the user's
        // and is used again when the device is back, so the picker keeps showing it rather than another entry.
        m_choices.append(chosen);
        m_microphone->addItem(m_namesSeen.value(chosen.uid(), chosen.uid()) + u" (not connected)");
        m_microphone->setItemData(m_microphone->count() - 1, chosen.uid(), Qt::ToolTipRole);
        index = m_choices.size() - 1;
    }
    m_microphone->setCurrentIndex(int(index));
}

void GeneralSettings::updateLogin()
{
    const QSignalBlocker quiet(m_login);
    m_login->setChecked(m_loginItem.isEnabled());
}

void GeneralSettings::changeLogin(bool on)
{
    m_loginError = m_loginItem.setEnabled(on);
    if (m_loginError) {
        // The switch shows what the desktop will really do, not what was asked.
        updateLogin();
    }
    m_loginErrorLabel->setText(m_loginError.value_or(QString()));
    m_loginErrorLabel->setVisible(m_loginError.has_value());
}

} // namespace sayloom
