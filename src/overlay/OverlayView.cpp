#include "overlay/OverlayView.h"

#include "ui/design/DesignTokens.h"
#include "ui/design/LevelWaveform.h"
#include "ui/design/PulseWaveform.h"
#include "ui/design/Symbols.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace sayloom {

namespace {

constexpr qreal messageSymbolSize = 16;
constexpr qreal messageSymbolGap = 6;
constexpr qreal lockSize = 11;
// The capsule never touches the frame's edges, so its edge stays antialiased and the spring's overshoot fits.
constexpr qreal frameMargin = 12;
constexpr int pulseInterval = 33;
// How far the newest bar moves toward a new level per reading: quick to rise, slower to fall, like a meter.
constexpr float attack = 0.75f;
constexpr float release = 0.4f;

qreal lerp(qreal from, qreal to, qreal progress)
{
    return from + (to - from) * progress;
}

bool isListening(const OverlayMode& mode)
{
    return mode.kind() == OverlayMode::Kind::listening;
}

} // namespace

OverlayView::OverlayView(OverlayModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_from(model.mode())
    , m_to(model.mode())
    , m_shownLevels(model.levels())
    , m_messageFont(DesignTokens::font(TextStyle::callout, font()))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);

    m_transition.setStartValue(0.0);
    m_transition.setEndValue(1.0);
    m_transition.setDuration(static_cast<int>(Motion::pillSpringDuration.count()));
    m_transition.setEasingCurve(Motion::pillSpring());
    connect(&m_transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        updateMask();
        update();
    });

    connect(&m_model, &OverlayModel::modeChanged, this, &OverlayView::onModeChanged);
    connect(&m_model, &OverlayModel::levelPushed, this, &OverlayView::onLevelPushed);
    connect(&m_model, &OverlayModel::levelsReset, this, &OverlayView::onLevelsReset);
}

OverlayView::~OverlayView() = default;

QSize OverlayView::sizeHint() const
{
    return PillMetrics::frame;
}

void OverlayView::setOpaque(bool opaque)
{
    if (opaque == m_opaque) {
        return;
    }
    m_opaque = opaque;
    updateMask();
    update();
}

void OverlayView::settle()
{
    m_transition.stop();
    m_from = m_to = m_model.mode();
    m_progress = 1.0;
    m_shownLevels = m_model.levels();
    updatePulseTimer();
    updateMask();
    update();
}

void OverlayView::onModeChanged(const OverlayMode& mode)
{
    if (!m_animated || !isVisible()) {
        m_to = mode;
        settle();
        return;
    }
    // A change during a transition springs on from the capsule as it is drawn now.
    m_from = m_progress >= 0.5 ? m_to : m_from;
    m_to = mode;
    m_progress = 0.0;
    m_transition.stop();
    m_transition.start();
    updatePulseTimer();
}

void OverlayView::onLevelPushed(float level)
{
    const float previous = m_shownLevels.back();
    std::shift_left(m_shownLevels.begin(), m_shownLevels.end(), 1);
    const float step = level > previous ? attack : release;
    m_shownLevels.back() = previous + (level - previous) * step;
    if (isVisible() && (isListening(m_to) || isListening(m_from))) {
        update(waveformRect().toAlignedRect().adjusted(-1, -1, 1, 1));
    }
}

void OverlayView::onLevelsReset()
{
    m_shownLevels = m_model.levels();
    update();
}

void OverlayView::updatePulseTimer()
{
    const bool pulsing = isVisible() && m_to.kind() == OverlayMode::Kind::processing;
    if (pulsing && !m_pulseTimer.isActive()) {
        m_pulseClock.start();
        m_pulseTimer.start(pulseInterval, Qt::PreciseTimer, this);
    } else if (!pulsing) {
        m_pulseTimer.stop();
    }
}

void OverlayView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updatePulseTimer();
    updateMask();
}

void OverlayView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updatePulseTimer();
}

void OverlayView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_pulseTimer.timerId()) {
        update(waveformRect().toAlignedRect().adjusted(-1, -1, 1, 1));
        return;
    }
    QWidget::timerEvent(event);
}

void OverlayView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_messageFont = DesignTokens::font(TextStyle::callout, font());
        updateMask();
        update();
    }
    QWidget::changeEvent(event);
}

void OverlayView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

qreal OverlayView::capsuleWidth(const OverlayMode& mode) const
{
    const qreal waveformCapsule = 2 * PillMetrics::sidePadding + PillMetrics::leadingSpace + PillMetrics::waveformWidth;
    switch (mode.kind()) {
    case OverlayMode::Kind::listening:
    case OverlayMode::Kind::processing:
    case OverlayMode::Kind::hidden:
        return waveformCapsule;
    case OverlayMode::Kind::message: {
        const qreal text = QFontMetricsF(m_messageFont).horizontalAdvance(mode.text());
        const qreal wanted = 2 * PillMetrics::sidePadding + messageSymbolSize + messageSymbolGap + text;
        return std::clamp(wanted, waveformCapsule, PillMetrics::frame.width() - 2 * frameMargin);
    }
    }
    return waveformCapsule;
}

QRectF OverlayView::capsuleFor(qreal capsuleWidth) const
{
    const QRectF frame(rect());
    return QRectF(frame.center().x() - capsuleWidth / 2, frame.center().y() - PillMetrics::height / 2.0, capsuleWidth,
                  PillMetrics::height);
}

QRectF OverlayView::capsuleRect() const
{
    // Hidden has no width of its own: it shrinks or grows the capsule of the mode on the other side.
    const OverlayMode& from = m_from.kind() == OverlayMode::Kind::hidden ? m_to : m_from;
    const OverlayMode& to = m_to.kind() == OverlayMode::Kind::hidden ? m_from : m_to;
    return capsuleFor(lerp(capsuleWidth(from), capsuleWidth(to), m_progress));
}

QRectF OverlayView::waveformRect() const
{
    const QRectF capsule = capsuleRect();
    return QRectF(capsule.left() + PillMetrics::sidePadding + PillMetrics::leadingSpace,
                  capsule.center().y() - PillMetrics::waveformHeight / 2.0, PillMetrics::waveformWidth,
                  PillMetrics::waveformHeight);
}

void OverlayView::updateMask()
{
    if (!m_opaque || !isWindow()) {
        if (!mask().isEmpty()) {
            clearMask();
        }
        return;
    }
    // A window mask has no antialiasing: cut on the capsule's own outline, so no dark fringe of the edge's
    // blending with nothing shows around it.
    QPainterPath path;
    const QRectF capsule = capsuleRect();
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void OverlayView::paintEvent(QPaintEvent*)
{
    const bool fromHidden = m_from.kind() == OverlayMode::Kind::hidden;
    const bool toHidden = m_to.kind() == OverlayMode::Kind::hidden;
    const qreal progress = std::clamp(m_progress, 0.0, 1.0);
    const qreal opacity = lerp(fromHidden ? 0.0 : 1.0, toHidden ? 0.0 : 1.0, progress);
    if (opacity <= 0.0) {
        return;
    }
    const qreal scale = lerp(fromHidden ? 0.9 : 1.0, toHidden ? 0.9 : 1.0, m_progress);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);

    const QRectF capsule = capsuleRect();
    const qreal radius = capsule.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_opaque ? DesignTokens::pillBackgroundOpaque() : DesignTokens::pillBackground());
    painter.drawRoundedRect(capsule, radius, radius);
    // A faint rim keeps the capsule's outline visible over dark windows.
    painter.setPen(QPen(QColor(255, 255, 255, 26), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

    if (isListening(m_from) && isListening(m_to)) {
        // Locking keeps the waveform still; only the leading symbol changes.
        LevelWaveform::paintBars(painter, waveformRect(), m_shownLevels, DesignTokens::pillContent(),
                                 PillMetrics::barWidth, PillMetrics::barGap);
        if (progress < 1.0) {
            paintLeading(painter, m_from, capsule, 1.0 - progress);
        }
        paintLeading(painter, m_to, capsule, progress);
        return;
    }
    // The old content is gone before the new one is half in, so the two never read as one jumble while the
    // capsule changes width.
    const qreal outgoing = std::clamp(1.0 - progress / 0.4, 0.0, 1.0);
    const qreal incoming = std::clamp((progress - 0.3) / 0.7, 0.0, 1.0);
    if (!fromHidden && outgoing > 0.0) {
        paintContent(painter, m_from, capsule, outgoing);
    }
    if (!toHidden) {
        paintContent(painter, m_to, capsule, fromHidden ? 1.0 : incoming);
    }
}

void OverlayView::paintContent(QPainter& painter, const OverlayMode& mode, const QRectF& capsule, qreal opacity) const
{
    if (opacity <= 0.0) {
        return;
    }
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    switch (mode.kind()) {
    case OverlayMode::Kind::listening:
        paintLeading(painter, mode, capsule, 1.0);
        LevelWaveform::paintBars(painter, waveformRect(), m_shownLevels, DesignTokens::pillContent(),
                                 PillMetrics::barWidth, PillMetrics::barGap);
        break;
    case OverlayMode::Kind::processing: {
        const qreal seconds = m_pulseClock.isValid() ? m_pulseClock.elapsed() / 1000.0 : 0.0;
        PulseWaveform::paintPulse(painter, waveformRect(), seconds, DesignTokens::pillSecondaryContent());
        break;
    }
    case OverlayMode::Kind::message:
        paintMessage(painter, mode.text(), capsule);
        break;
    case OverlayMode::Kind::hidden:
        break;
    }
    painter.restore();
}

void OverlayView::paintLeading(QPainter& painter, const OverlayMode& mode, const QRectF& capsule, qreal opacity) const
{
    if (opacity <= 0.0) {
        return;
    }
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    const QPointF centre(capsule.left() + PillMetrics::sidePadding + PillMetrics::dotDiameter / 2.0,
                         capsule.center().y());
    if (mode.isLocked()) {
        // The lock grows into place as it fades in.
        const qreal size = lockSize * lerp(0.6, 1.0, std::clamp(opacity, 0.0, 1.0));
        Symbols::paint(painter, OwnSymbol::lock, QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size),
                       DesignTokens::pillSecondaryContent());
    } else {
        const qreal radius = PillMetrics::dotDiameter / 2.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(DesignTokens::pillRecording());
        painter.drawEllipse(centre, radius, radius);
    }
    painter.restore();
}

void OverlayView::paintMessage(QPainter& painter, const QString& text, const QRectF& capsule) const
{
    const QFontMetricsF metrics(m_messageFont);
    const qreal left = capsule.left() + PillMetrics::sidePadding;
    const QRectF symbol(left, capsule.center().y() - messageSymbolSize / 2, messageSymbolSize, messageSymbolSize);
    Symbols::paint(painter, OwnSymbol::info, symbol, DesignTokens::pillContent());

    const qreal textLeft = symbol.right() + messageSymbolGap;
    const qreal room = capsule.right() - PillMetrics::sidePadding - textLeft;
    // One line: line breaks become spaces and what doesn't fit ends in an ellipsis.
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString shown = metrics.elidedText(line, Qt::ElideRight, room);
    const qreal textWidth = metrics.horizontalAdvance(shown);
    // Short texts sit centred in what is left of the capsule.
    const qreal x = textLeft + std::max<qreal>(0, (room - textWidth) / 2);
    const qreal baseline = capsule.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.setFont(m_messageFont);
    painter.setPen(DesignTokens::pillContent());
    painter.drawText(QPointF(x, baseline), shown);
}

} // namespace sayloom
