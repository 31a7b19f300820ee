#pragma once

#include "overlay/OverlayModel.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <array>

namespace sayloom {

// Draws an OverlayModel: a 44 px capsule centred in a 320 x 96 frame, near-black with white content in both
// appearances. Listening shows the recording dot (or, hands-free, the lock) and the level waveform; processing a
// running pulse; a message the info symbol and one line of text; hidden nothing. Mode changes spring in, and the
// waveform's newest bar is eased toward each level so it breathes rather than jitters.
//
// For a still image (snapshots), set the model's levels and mode first and then create the view, or call settle()
// after changing them: a new view starts settled on its model's state.
class OverlayView final : public QWidget {
    Q_OBJECT

public:
    explicit OverlayView(OverlayModel& model, QWidget* parent = nullptr);
    ~OverlayView() override;

    // Without a compositor nothing blends the translucent capsule with what lies below: paint it opaque and, when
    // the view is a window of its own, cut the window to the capsule's shape.
    void setOpaque(bool opaque);
    bool isOpaque() const { return m_opaque; }

    // Whether mode changes spring; off, every change shows at once.
    void setAnimated(bool animated) { m_animated = animated; }

    // Ends any running transition and shows the model's state exactly as it is, levels included.
    void settle();

    // The capsule as drawn now, in the view's coordinates (mid-transition while a mode change springs).
    QRectF capsuleRect() const;
    // Where the waveform of the listening mode is drawn; the only area repainted on a level.
    QRectF waveformRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onModeChanged(const OverlayMode& mode);
    void onLevelPushed(float level);
    void onLevelsReset();
    void updatePulseTimer();
    void updateMask();
    qreal capsuleWidth(const OverlayMode& mode) const;
    QRectF capsuleFor(qreal width) const;
    void paintContent(QPainter& painter, const OverlayMode& mode, const QRectF& capsule, qreal opacity) const;
    void paintLeading(QPainter& painter, const OverlayMode& mode, const QRectF& capsule, qreal opacity) const;
    void paintMessage(QPainter& painter, const QString& text, const QRectF& capsule) const;

    OverlayModel& m_model;
    OverlayMode m_from;
    OverlayMode m_to;
    qreal m_progress = 1.0;
    QVariantAnimation m_transition;
    std::array<float, OverlayModel::levelCount> m_shownLevels{};
    bool m_opaque = false;
    bool m_animated = true;
    QBasicTimer m_pulseTimer;
    QElapsedTimer m_pulseClock;
    QFont m_messageFont;
};

} // namespace sayloom
