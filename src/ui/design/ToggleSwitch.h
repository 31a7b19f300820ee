#pragma once

#include <QAbstractButton>

namespace sayloom {

// An on/off switch as GNOME and Plasma draw them in settings rows: a capsule in the accent colour when on, a pale
// grey one when off, with a white knob at the end that is switched to. Checkable; space and click toggle it, and
// `clicked(bool)` tells that the user did.
class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;
};

} // namespace sayloom
