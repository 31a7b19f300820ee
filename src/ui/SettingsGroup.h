#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QFrame;
class QLabel;
class QVBoxLayout;

namespace sayloom {

class Card;

// A titled group of settings as GNOME Settings shows one: a heading over a card whose rows each pair a title with
// its control, one hairline between rows. What explains or warns about a row sits under it, inside the card.
class SettingsGroup final : public QWidget {
    Q_OBJECT

public:
    // Without a title the card stands alone.
    explicit SettingsGroup(const QString& title, QWidget* parent = nullptr);

    // A row with `title` on the leading side and `control` on the trailing side; the control is named after the
    // title for screen readers unless it has a name already. A control that expands horizontally (a value shown
    // as text) takes the room the title leaves. Under the title, in the secondary colour, `subtitle`: the label is
    // returned, and is hidden when made without text.
    QLabel* addRow(const QString& title, QWidget* control, const QString& subtitle = {});
    // Something under the last row, as wide as the row.
    void addNote(QWidget* note);
    // A wrapped explanation under the last row, in the secondary text colour.
    QLabel* addExplanation(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColours();

    Card* m_card;
    QVBoxLayout* m_lastRow = nullptr;
    QList<QLabel*> m_secondary;
    QList<QFrame*> m_dividers;
};

} // namespace sayloom
