#pragma once

#include <QWidget>

class QVBoxLayout;

namespace sayloom {

// A rounded rectangle a shade off the window colour (with a hairline border in dark mode) that holds a column of
// content: 16 px padding, 12 px between rows. Add rows with contentLayout()->addWidget(...).
class Card final : public QWidget {
    Q_OBJECT

public:
    explicit Card(QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return m_layout; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_layout;
};

} // namespace sayloom
