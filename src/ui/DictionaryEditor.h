#pragma once

#include "dictionary/DictionaryEntry.h"
#include "dictionary/DictionaryLint.h"
#include "ui/DictionaryRules.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <optional>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace sayloom {

class DictionaryStore;
class WarningLabel;

// The sheet that adds one entry or changes one: the kind, the one or two texts, the warnings of what is typed so
// far, and "Add" or "Save". It keeps what the user typed when the file changes underneath it.
class DictionaryEditor final : public QDialog {
    Q_OBJECT

public:
    // Opens on `existing`, or empty for a new entry when it is absent.
    DictionaryEditor(DictionaryStore& store, std::optional<DictionaryEntry> existing, QWidget* parent = nullptr);
    ~DictionaryEditor() override;

    const std::optional<DictionaryEntry>& existing() const { return m_existing; }
    DictionaryFields fields() const;
    // What "Add" or "Save" would store; nothing while the fields don't make an entry.
    std::optional<DictionaryEntry> draft() const;

    QComboBox* typePicker() const { return m_type; }
    QLineEdit* phraseField() const { return m_phrase; }
    QLineEdit* heardField() const { return m_heard; }
    QPushButton* confirmButton() const { return m_confirm; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The texts shown under the fields: the draft's warnings, and why it can't be stored.
    QStringList shownWarnings() const;
    std::optional<QString> shownRefusal() const;

    // Stores the draft (changing the entry it opened on, or adding it) and closes; does nothing without one.
    void save();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Makes the sheet exactly as tall as its rows and notes at its width.
    void fitHeight();
    void refresh();
    void applyColours();
    void rebuildIndex();
    bool targetStillThere() const;

    DictionaryStore& m_store;
    std::optional<DictionaryEntry> m_existing;
    // A new entry keeps one id while it is typed, so its warnings never count it twice.
    QUuid m_newId;
    DictionaryLint::Index m_index{{}};
    QFormLayout* m_form;
    QComboBox* m_type;
    QLineEdit* m_heard;
    QLineEdit* m_phrase;
    QLabel* m_phraseLabel;
    QLabel* m_help;
    QVBoxLayout* m_notes;
    QList<WarningLabel*> m_warnings;
    WarningLabel* m_refusal;
    WarningLabel* m_gone;
    QPushButton* m_confirm;
    QPushButton* m_cancel;
};

} // namespace sayloom
