#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace sayloom {

class AppState;
class LocalLanguageModel;
class ServerSpeechEngine;
class SettingsGroup;
class WarningLabel;

// The model settings: the speech engine (PocketSphinx or a speech server on this computer, with the server's
// address, model, language and key) and how far it has got, the choice between the language model's cleanup and
// the basic one with the model's status, and where the local language model's server is. Addresses are checked
// when editing ends: one that would reach beyond this computer is explained and not stored.
class ModelSettings final : public QWidget {
    Q_OBJECT

public:
    // Without a language model the model's name is typed; with one, the names its server lists are offered too.
    // The same goes for the speech engine, which also tells how its server is doing.
    ModelSettings(AppState& state, LocalLanguageModel* languageModel, ServerSpeechEngine* speechEngine = nullptr,
                  QWidget* parent = nullptr);
    ~ModelSettings() override;

    QComboBox* enginePicker() const { return m_engine; }
    QLabel* engineStatusLabel() const { return m_engineStatus; }
    // The speech server's settings, shown while the server is the engine.
    QWidget* speechServerGroup() const;
    QLineEdit* speechAddressField() const { return m_speechAddress; }
    WarningLabel* speechAddressProblemLabel() const { return m_speechAddressProblem; }
    QLineEdit* speechModelField() const { return m_speechModel; }
    QLineEdit* speechLanguageField() const { return m_speechLanguage; }
    QLineEdit* speechKeyField() const { return m_speechKey; }
    QComboBox* cleanupPicker() const { return m_cleanup; }
    QLabel* aiStatusLabel() const { return m_aiStatus; }
    QLineEdit* addressField() const { return m_address; }
    WarningLabel* addressProblemLabel() const { return m_addressProblem; }
    // The editable picker of model names, or nothing when names are only typed.
    QComboBox* modelPicker() const { return m_modelPicker; }
    QLineEdit* modelField() const { return m_model; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildSpeechServer(SettingsGroup* group);
    void commitSpeechAddress();
    void updateSpeechEngine();
    void updateSpeechServer();
    void updateSpeechModels();
    void updateEngineStatus();
    void commitAddress();
    void commitModel();
    void updateAddress();
    void updateModel();
    void updateModels();
    void applyColours();

    AppState& m_state;
    LocalLanguageModel* m_languageModel;
    ServerSpeechEngine* m_speechEngine;

    QComboBox* m_engine;
    QLabel* m_engineStatus;
    SettingsGroup* m_speechServer;
    QLineEdit* m_speechAddress;
    WarningLabel* m_speechAddressProblem;
    QComboBox* m_speechModelPicker = nullptr;
    QLineEdit* m_speechModel;
    QLineEdit* m_speechLanguage;
    QLineEdit* m_speechKey;
    QComboBox* m_cleanup;
    QLabel* m_aiStatus;
    QLineEdit* m_address;
    WarningLabel* m_addressProblem;
    QComboBox* m_modelPicker = nullptr;
    QLineEdit* m_model;
    QLabel* m_footer;
};

} // namespace sayloom
