#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace sayloom {

class IconView;

// A warning under a row: the theme's warning symbol and a wrapped text in the secondary text colour, one step
// smaller than body text.
class WarningLabel final : public QWidget {
    Q_OBJECT

public:
    explicit WarningLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColours();

    IconView* m_symbol;
    QLabel* m_text;
};

} // namespace sayloom
