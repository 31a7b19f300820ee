#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace sayloom {

class AppState;
class LocalLanguageModel;
class WarningLabel;

// The model settings: the speech engine and how far it has got, the choice between the language model's cleanup
// and the basic one with the model's status, and where the local language model's server is. Addresses are
// checked when editing ends: one that would reach beyond this computer is explained and not stored.
class ModelSettings final : public QWidget {
    Q_OBJECT

public:
    // Without a language model the model's name is typed; with one, the names its server lists are offered too.
    ModelSettings(AppState& state, LocalLanguageModel* languageModel, QWidget* parent = nullptr);
    ~ModelSettings() override;

    QLabel* engineStatusLabel() const { return m_engineStatus; }
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
    void commitAddress();
    void commitModel();
    void updateAddress();
    void updateModel();
    void updateModels();
    void applyColours();

    AppState& m_state;
    LocalLanguageModel* m_languageModel;

    QLabel* m_engineStatus;
    QComboBox* m_cleanup;
    QLabel* m_aiStatus;
    QLineEdit* m_address;
    WarningLabel* m_addressProblem;
    QComboBox* m_modelPicker = nullptr;
    QLineEdit* m_model;
    QLabel* m_footer;
};

} // namespace sayloom
