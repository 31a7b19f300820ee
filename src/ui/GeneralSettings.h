#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/MicrophonePreference.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;

namespace sayloom {

class AppState;
class InputDevices;
class LoginItem;
class ToggleSwitch;
class WarningLabel;

// The general settings: the key to hold, the microphone and the cues, and whether Sayloom starts at login. Every
// control writes through the session's setters and follows the settings when they change elsewhere. The
// microphones and the login state are read again each time the pane is shown, and the microphones also whenever
// the sound server reports a change.
class GeneralSettings final : public QWidget {
    Q_OBJECT

public:
    GeneralSettings(AppState& state, InputDevices& inputDevices, LoginItem& loginItem, QWidget* parent = nullptr);
    ~GeneralSettings() override;

    // The microphones as last read.
    const QList<AudioInputDevice>& devices() const { return m_devices; }
    // The launch-at-login switch's state, and why the last change of it failed (nothing after a success).
    bool launchAtLogin() const;
    const std::optional<QString>& loginError() const { return m_loginError; }

    QComboBox* triggerPicker() const { return m_trigger; }
    QComboBox* microphonePicker() const { return m_microphone; }
    ToggleSwitch* soundsSwitch() const { return m_sounds; }
    ToggleSwitch* loginSwitch() const { return m_login; }
    WarningLabel* fnWarning() const { return m_fnWarning; }
    WarningLabel* loginErrorLabel() const { return m_loginErrorLabel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void readDevices();
    void updateTrigger();
    void updateMicrophones();
    void updateLogin();
    void changeLogin(bool on);

    AppState& m_state;
    InputDevices& m_inputDevices;
    LoginItem& m_loginItem;

    QComboBox* m_trigger;
    WarningLabel* m_fnWarning;
    QComboBox* m_microphone;
    ToggleSwitch* m_sounds;
    ToggleSwitch* m_login;
    WarningLabel* m_loginErrorLabel;

    QList<AudioInputDevice> m_devices;
    // The microphone picker's choices, in its order: automatic, the system default, every device listed, and the
    // chosen device when it is not plugged in.
    QList<MicrophonePreference> m_choices;
    // Names of devices listed since the pane was made, so one unplugged keeps its name.
    QHash<QString, QString> m_namesSeen;
    std::optional<QString> m_loginError;
};

} // namespace sayloom
