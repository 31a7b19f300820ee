#pragma once

#include "overlay/OverlayModel.h"
#include "session/ports/Clock.h"
#include "session/ports/Overlay.h"

#include <QObject>
#include <QVariantAnimation>

#include <chrono>
#include <memory>

namespace sayloom {

class OverlayView;

// The floating pill as a window of its own: frameless, translucent, always on top, on every workspace, left out of
// the taskbar and pager, and never activated or focused, so the paste lands in the user's window; clicks pass
// through it. Shown on the screen under the mouse, it fades in over 0.12 s and out over 0.18 s.
//
// A hide waits on the session's clock, and so does the end of its fade, so tests move time by hand. Every show
// cancels a pending hide and counts a generation; a fade that ends after a newer show leaves the pill up.
// Main thread only.
class OverlayController final : public QObject, public Overlay {
    Q_OBJECT

public:
    explicit OverlayController(Clock& clock, QObject* parent = nullptr);
    ~OverlayController() override;
    OverlayController(const OverlayController&) = delete;
    OverlayController& operator=(const OverlayController&) = delete;

    void show(const OverlayMode& mode) override;
    void hide(std::chrono::milliseconds delay) override;
    void push(float level) override;

    OverlayModel& model() { return m_model; }
    const OverlayModel& model() const { return m_model; }

    // Whether a compositor blends translucent windows (true unless told otherwise). Without one the pill is
    // painted opaque and the window cut to the capsule, rather than showing a black box.
    void setCompositing(bool compositing);
    bool isCompositing() const { return m_compositing; }

    // The window as it stands, for the application and for tests.
    bool isPanelVisible() const;
    // The opacity the window is at or fading toward: 1 after a show, 0 once a hide's fade has begun.
    qreal targetOpacity() const { return m_targetOpacity; }
    // Increased by every show.
    qint64 generation() const { return m_generation; }
    OverlayView& view() { return *m_view; }

private:
    QCoro::Task<void> hideAfter(std::chrono::milliseconds delay, quint64 request);
    void fadeTo(qreal opacity, std::chrono::milliseconds duration);
    void finishHide();
    void place();

    Clock& m_clock;
    OverlayModel m_model;
    std::unique_ptr<OverlayView> m_view;
    QVariantAnimation m_fade;
    qreal m_targetOpacity = 0.0;
    bool m_compositing = true;
    qint64 m_generation = 0;
    // Counts hide requests and shows; a hide that wakes to a different count was cancelled.
    quint64 m_hideRequest = 0;
};

} // namespace sayloom
