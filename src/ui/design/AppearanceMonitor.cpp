#include "ui/design/AppearanceMonitor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>

namespace sayloom {

AppearanceMonitor::AppearanceMonitor(QObject* parent)
    : QObject(parent)
{
    m_palette = QGuiApplication::palette();
    m_appearance = DesignTokens::appearanceOf(m_palette);
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installEventFilter(this);
    }
}

AppearanceMonitor::~AppearanceMonitor()
{
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
}

AppearanceMonitor* AppearanceMonitor::instance()
{
    static QPointer<AppearanceMonitor> monitor;
    if (!monitor) {
        monitor = new AppearanceMonitor(QCoreApplication::instance());
    }
    return monitor;
}

DesignTokens AppearanceMonitor::tokens() const
{
    return DesignTokens::fromPalette(QGuiApplication::palette());
}

void AppearanceMonitor::force(std::optional<Appearance> appearance)
{
    if (appearance == m_forced) {
        return;
    }
    if (!m_forced) {
        m_desktopPalette = QGuiApplication::palette();
    }
    m_forced = appearance;
    if (appearance) {
        QGuiApplication::setPalette(DesignTokens::standardPalette(*appearance));
    } else if (m_desktopPalette) {
        QGuiApplication::setPalette(*std::exchange(m_desktopPalette, std::nullopt));
    }
    // The palette event is delivered later; callers that render right away expect the new appearance now.
    update();
}

bool AppearanceMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        update();
    }
    return QObject::eventFilter(watched, event);
}

void AppearanceMonitor::update()
{
    const QPalette palette = QGuiApplication::palette();
    if (palette == m_palette) {
        return;
    }
    m_palette = palette;
    const Appearance now = DesignTokens::appearanceOf(palette);
    emit paletteChanged();
    if (now != m_appearance) {
        m_appearance = now;
        emit appearanceChanged(now);
    }
}

} // namespace sayloom
