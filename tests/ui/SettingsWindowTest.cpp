#include "ui/SettingsWindow.h"

#include "WindowFakes.h"
#include "speech/ServerSpeechEngine.h"
#include "support/ScriptedHttpServer.h"
#include "text/LocalLanguageModel.h"
#include "ui/GeneralSettings.h"
#include "ui/MainWindow.h"
#include "ui/ModelSettings.h"
#include "ui/PermissionSettings.h"
#include "ui/design/ToggleSwitch.h"
#include "ui/design/WarningLabel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using testing::pump;
using testing::SessionRig;
using testing::WindowRig;

QStringList items(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i) {
        texts.append(combo.itemText(i));
    }
    return texts;
}

// Ends editing as Return does.
void type(QLineEdit& field, const QString& text)
{
    field.setText(text);
    QTest::keyClick(&field, Qt::Key_Return);
}

// The settings window over a live session with a speech server, each control used as a user would, checked against
// the preferences (which write through to the settings file themselves).
TEST(SettingsWindow, WritesEverySettingAndFollowsTheSessionAndTheServer)
{
    test::ScriptedHttpServer scripted;
    scripted.setModelsReply(test::ScriptedHttpServer::modelList({u"whisper-1"_s, u"large-v3"_s}));
    SessionRig rig;
    rig.desktop.trusted = false;
    const AudioInputDevice usb{7, u"alsa_input.usb-yeti"_s, u"Yeti"_s, Transport::usb};
    const AudioInputDevice headset{9, u"bluez_input.headset"_s, u"Headset"_s, Transport::bluetooth};
    rig.desktop.devices = {usb};
    rig.buildAndStart();
    const Preferences& stored = *rig.preferences;
    ServerSpeechEngine engine(rig.engine, stored.speechServer());
    QObject::connect(&stored, &Preferences::speechServerChanged, &engine,
                     [&] { engine.setConfiguration(stored.speechServer()); });
    LocalLanguageModel languageModel;
    WindowRig windows(rig);
    windows.parts.languageModel = &languageModel;
    windows.parts.speechEngine = &engine;
    windows.loginItem.enabled = true;

    // Ctrl+, opens the one settings window; again, or the sidebar's button, only raises it.
    MainWindow main(windows.parts);
    main.show();
    main.activateWindow();
    pump();
    QTest::keyClick(&main, Qt::Key_Comma, Qt::ControlModifier);
    SettingsWindow* window = main.settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible() && window->isWindow());
    main.activateWindow();
    QTest::keyClick(&main, Qt::Key_Comma, Qt::ControlModifier);
    window->hide();
    for (QToolButton* button : main.findChildren<QToolButton*>()) {
        if (button->text() == u"Settings"_s) {
            button->click();
        }
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(main.findChildren<SettingsWindow*>(), QList<SettingsWindow*>{window});

    // General: the trigger, with the Fn warning only while Fn is held to dictate.
    GeneralSettings& general = *window->general();
    EXPECT_EQ(general.triggerPicker()->count(), 4);
    EXPECT_FALSE(general.fnWarning()->isVisible());
    general.triggerPicker()->setCurrentIndex(0);
    EXPECT_EQ(stored.trigger(), Trigger::fn);
    EXPECT_TRUE(general.fnWarning()->isVisible());
    rig.state->setTrigger(Trigger::rightCommand);
    EXPECT_EQ(general.triggerPicker()->currentText(), u"Right Super"_s);
    EXPECT_FALSE(general.fnWarning()->isVisible());

    // Microphones: the fixed choices and every device, one arriving live; an unplugged choice stays shown.
    QComboBox& microphones = *general.microphonePicker();
    const QStringList fixed{u"Automatic"_s, u"System Default"_s, u"Yeti"_s};
    EXPECT_EQ(items(microphones), fixed);
    rig.desktop.devices = {usb, headset};
    emit rig.desktop.devicesChanged();
    EXPECT_EQ(items(microphones), fixed + QStringList{u"Headset"_s});
    microphones.setCurrentIndex(3);
    rig.desktop.devices = {usb};
    emit rig.desktop.devicesChanged();
    EXPECT_EQ(items(microphones), fixed + QStringList{u"Headset (not connected)"_s});
    EXPECT_EQ(microphones.currentIndex(), 3);
    EXPECT_EQ(stored.microphone(), MicrophonePreference::device(headset.uid));
    microphones.setCurrentIndex(1);
    EXPECT_EQ(stored.microphone(), MicrophonePreference::systemDefault());
    EXPECT_EQ(items(microphones), fixed);

    general.soundsSwitch()->click();
    EXPECT_FALSE(stored.soundsEnabled());
    rig.state->setSoundsEnabled(true);
    EXPECT_TRUE(general.soundsSwitch()->isChecked());

    // Launch at login: read when shown; a refusal is explained and the switch shows the real state again.
    EXPECT_TRUE(general.launchAtLogin());
    const std::optional<QString> fine, readOnly = u"the autostart folder is read-only"_s;
    for (const auto& [failure, enabled] : {std::pair{fine, false}, {readOnly, false}, {fine, true}}) {
        windows.loginItem.failure = failure;
        general.loginSwitch()->click();
        EXPECT_EQ(windows.loginItem.enabled, enabled);
        EXPECT_EQ(general.launchAtLogin(), enabled);
        EXPECT_EQ(general.loginErrorLabel()->isVisible(), failure.has_value());
        EXPECT_EQ(general.loginErrorLabel()->text().endsWith(readOnly.value()), failure.has_value());
    }
    windows.loginItem.enabled = false;
    window->tabs()->setCurrentIndex(1);
    window->tabs()->setCurrentIndex(0);
    EXPECT_FALSE(general.launchAtLogin());

    // Model: the cleanup choice, and server addresses checked before they are stored.
    window->tabs()->setCurrentIndex(1);
    ModelSettings& model = *window->model();
    model.cleanupPicker()->setCurrentIndex(1);
    EXPECT_FALSE(stored.aiCleanupEnabled());
    rig.state->setAiCleanupEnabled(true);
    EXPECT_EQ(model.cleanupPicker()->currentText(), u"Language model"_s);
    type(*model.addressField(), u"http://192.168.1.5:8080/v1"_s);
    EXPECT_TRUE(model.addressProblemLabel()->isVisible());
    EXPECT_EQ(model.addressProblemLabel()->text(), *Preferences::serverAddressProblem(u"http://192.168.1.5/"_s));
    EXPECT_EQ(stored.languageModelURL(), QString());
    type(*model.addressField(), u" http://127.0.0.1:8080/v1 "_s);
    EXPECT_FALSE(model.addressProblemLabel()->isVisible());
    EXPECT_EQ(stored.languageModelURL(), u"http://127.0.0.1:8080/v1"_s);
    rig.preferences->setLanguageModelURL(u"http://localhost:11434/v1"_s);
    EXPECT_EQ(model.addressField()->text(), u"http://localhost:11434/v1"_s);
    // With a language model at hand its name is picked from those its server lists, or typed.
    ASSERT_NE(model.modelPicker(), nullptr);
    type(*model.modelField(), u"llama3"_s);
    EXPECT_EQ(stored.languageModelName(), u"llama3"_s);

    // The speech server's fields only while it is chosen, each written when editing ends, its models offered, and
    // the status line telling how the server is doing once the engine is ready.
    EXPECT_FALSE(model.speechServerGroup()->isVisible());
    model.enginePicker()->setCurrentIndex(1);
    pump();
    EXPECT_TRUE(model.speechServerGroup()->isVisible());
    EXPECT_EQ(model.engineStatusLabel()->text(), u"Enter the speech server's address \u2014 using PocketSphinx"_s);
    type(*model.speechAddressField(), u"http://10.0.0.2:8080/v1"_s);
    EXPECT_TRUE(model.speechAddressProblemLabel()->isVisible());
    type(*model.speechKeyField(), u"secret"_s);
    type(*model.speechAddressField(), scripted.baseURL());
    EXPECT_FALSE(model.speechAddressProblemLabel()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.engineStatusLabel()->text() == u"Speech server ready"_s; }));
    EXPECT_EQ(scripted.requests("/models").last().header("authorization"), "Bearer secret");
    const auto* picker = qobject_cast<QComboBox*>(model.speechModelField()->parentWidget());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(items(*picker), (QStringList{u"whisper-1"_s, u"large-v3"_s}));
    type(*model.speechModelField(), u" large-v3 "_s);
    type(*model.speechLanguageField(), u"de"_s);
    EXPECT_EQ(engine.configuration().model + engine.configuration().language, u"large-v3de"_s);

    scripted.setModelsReply(test::ScriptedHttpServer::status(503));
    QCoro::waitFor(engine.probe());
    EXPECT_EQ(model.engineStatusLabel()->text(), u"Speech server is still loading \u2014 using PocketSphinx"_s);
    rig.preferences->setSpeechEngine(Preferences::SpeechEngine::pocketsphinx);
    pump();
    EXPECT_EQ(model.enginePicker()->currentText(), u"PocketSphinx"_s);
    EXPECT_FALSE(model.speechServerGroup()->isVisible());
    EXPECT_EQ(model.engineStatusLabel()->text(), u"PocketSphinx ready"_s);

    // Permissions: the missing grant offers its page until the session notices it was given.
    window->tabs()->setCurrentIndex(2);
    PermissionSettings& permissions = *window->permissions();
    EXPECT_FALSE(permissions.microphoneButton()->isVisible());
    ASSERT_TRUE(permissions.accessibilityButton()->isVisible());
    permissions.accessibilityButton()->click();
    EXPECT_EQ(rig.desktop.opened, QStringList{Permissions::accessibilityPage()});
    // A desktop with two grants names what is still missing as each arrives.
    rig.desktop.gaps = {{u"Sayloom can't read the keyboard"_s, u"To see the key."_s},
                        {u"Sayloom can't type"_s, u"To paste."_s}};
    rig.advance(AppState::accessibilityPollInterval);
    EXPECT_EQ(permissions.accessibilityTitle()->text(), u"Sayloom can't read the keyboard\nSayloom can't type"_s);
    EXPECT_EQ(permissions.accessibilityReason()->text(), u"To see the key. To paste."_s);
    rig.desktop.gaps.removeFirst();
    rig.advance(AppState::accessibilityPollInterval);
    EXPECT_EQ(permissions.accessibilityTitle()->text(), u"Sayloom can't type"_s);
    rig.desktop.trusted = true;
    rig.advance(AppState::accessibilityPollInterval);
    EXPECT_TRUE(permissions.accessibilityAllowed()->isVisible());
    EXPECT_EQ(permissions.accessibilityTitle()->text(), u"Accessibility"_s);
    EXPECT_FALSE(permissions.accessibilityButton()->isVisible());
}

} // namespace
} // namespace sayloom
