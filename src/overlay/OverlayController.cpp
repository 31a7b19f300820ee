#include "overlay/OverlayController.h"

#include "base/DetachedTask.h"
#include "overlay/OverlayPlacement.h"
#include "overlay/OverlayView.h"
#include "ui/design/DesignTokens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <vector>

namespace sayloom {

OverlayController::OverlayController(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_view(std::make_unique<OverlayView>(m_model))
{
    // Bypassing the window manager (override-redirect on X11) is what keeps the pill out of the focus chain, the
    // taskbar and the pager, and on every workspace; the other hints say the same to platforms that manage it.
    m_view->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint);
    m_view->setAttribute(Qt::WA_ShowWithoutActivating);
    m_view->setAttribute(Qt::WA_TranslucentBackground);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setWindowTitle(QStringLiteral("Sayloom"));
    m_view->setFixedSize(PillMetrics::frame);

    connect(&m_fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { m_view->setWindowOpacity(value.toReal()); });
}

OverlayController::~OverlayController() = default;

void OverlayController::show(const OverlayMode& mode)
{
    ++m_hideRequest;
    ++m_generation;
    if (mode.kind() == OverlayMode::Kind::listening && m_model.mode().kind() == OverlayMode::Kind::hidden) {
        m_model.resetLevels();
    }
    if (!m_view->isVisible()) {
        place();
        m_view->setWindowOpacity(0.0);
        m_view->show();
    }
    m_model.setMode(mode);
    fadeTo(1.0, Motion::fadeIn);
}

void OverlayController::hide(std::chrono::milliseconds delay)
{
    runDetached(hideAfter(delay, ++m_hideRequest), "overlay hide");
}

void OverlayController::push(float level)
{
    m_model.push(level);
}

QCoro::Task<void> OverlayController::hideAfter(std::chrono::milliseconds delay, quint64 request)
{
    // The controller may be gone when a sleep ends; the clock outlives it.
    QPointer<OverlayController> self(this);
    Clock& clock = m_clock;
    if (delay > std::chrono::milliseconds::zero()) {
        co_await clock.sleep(delay);
    }
    if (!self || self->m_hideRequest != request) {
        co_return;
    }
    const qint64 generation = self->m_generation;
    self->fadeTo(0.0, Motion::fadeOut);
    co_await clock.sleep(Motion::fadeOut);
    // A show during the fade has already brought the pill back; it stays.
    if (self && self->m_generation == generation) {
        self->finishHide();
    }
}

void OverlayController::fadeTo(qreal opacity, std::chrono::milliseconds duration)
{
    m_targetOpacity = opacity;
    m_fade.stop();
    if (!m_compositing) {
        // Nothing would blend a partly transparent window, so there is nothing to fade.
        m_view->setWindowOpacity(opacity);
        return;
    }
    m_fade.setStartValue(m_view->windowOpacity());
    m_fade.setEndValue(opacity);
    m_fade.setDuration(static_cast<int>(duration.count()));
    m_fade.start();
}

void OverlayController::finishHide()
{
    m_fade.stop();
    m_view->hide();
    if (m_model.mode().kind() != OverlayMode::Kind::hidden) {
        m_model.setMode(OverlayMode::hidden());
    }
    m_view->settle();
}

void OverlayController::setCompositing(bool compositing)
{
    if (compositing == m_compositing) {
        return;
    }
    m_compositing = compositing;
    m_view->setOpaque(!compositing);
    if (!compositing) {
        m_fade.stop();
        m_view->setWindowOpacity(m_targetOpacity);
    }
}

bool OverlayController::isPanelVisible() const
{
    return m_view->isVisible();
}

void OverlayController::place()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    std::vector<QRect> geometries;
    geometries.reserve(static_cast<std::size_t>(screens.size()));
    for (const QScreen* screen : screens) {
        geometries.push_back(screen->geometry());
    }
    std::optional<std::size_t> primary;
    if (const qsizetype index = screens.indexOf(QGuiApplication::primaryScreen()); index >= 0) {
        primary = static_cast<std::size_t>(index);
    }
    const std::optional<std::size_t> target = OverlayPlacement::screenUnder(QCursor::pos(), geometries, primary);
    if (!target) {
        return;
    }
    QScreen* screen = screens.at(static_cast<qsizetype>(*target));
    m_view->setScreen(screen);
    m_view->move(OverlayPlacement::origin(screen->availableGeometry(), m_view->size()));
}

} // namespace sayloom
