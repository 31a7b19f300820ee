#pragma once

#include <QString>
#include <QWidget>

namespace sayloom {

// A key as printed on a keyboard ("Right Alt", "Esc"): the label in a rounded key top with a hairline rim and a
// slightly heavier bottom edge.
class KeyCap final : public QWidget {
    Q_OBJECT

public:
    explicit KeyCap(const QString& label, QWidget* parent = nullptr);

    const QString& label() const { return m_label; }
    void setLabel(const QString& label);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_label;
};

} // namespace sayloom
