#include "desktop/wayland/WaylandTextInserter.h"

#include "base/PreciseSleep.h"
#include "desktop/PasteClipboard.h"
#include "desktop/wayland/PasteKeySender.h"
#include "desktop/wayland/WaylandLog.h"

namespace sayloom {

namespace {

// The application id names terminals on Wayland as the window class does on X11.
PasteKeys pasteKeysForTarget(const std::optional<RunningApplication>& target)
{
    if (!target || !target->applicationId) {
        return PasteKeys::controlV;
    }
    const QByteArray id = target->applicationId->toUtf8();
    return pasteKeysFor(id, id);
}

} // namespace

WaylandTextInserter::WaylandTextInserter(PasteClipboard& clipboard, PasteKeySender& keys,
                                         std::function<bool()> modifierHeld, PasteClipboard* primary)
    : m_clipboard(clipboard)
    , m_primary(primary)
    , m_keys(keys)
    , m_modifierHeld(std::move(modifierHeld))
{
}

QCoro::Task<void> WaylandTextInserter::insert(QString text, std::optional<RunningApplication> target)
{
    if (!m_keys.isAvailable()) {
        qCWarning(lcWayland, "No way to send keys; nothing was pasted");
        co_return;
    }
    // Pasting without the text on the clipboard would paste whatever was there before.
    if (!co_await m_clipboard.hold(text)) {
        qCWarning(lcWayland, "Could not take the clipboard; nothing was pasted");
        co_return;
    }
    const PasteKeys keys = pasteKeysForTarget(target);
    const bool withPrimary = keys == PasteKeys::shiftInsert && m_primary && co_await m_primary->hold(text);
    // The trigger is a modifier: with it still down, Ctrl+V would arrive as Ctrl+Alt+V.
    const auto patience = std::chrono::steady_clock::now() + modifierWait;
    while (m_modifierHeld && m_modifierHeld() && std::chrono::steady_clock::now() < patience) {
        co_await sleepPrecisely(std::chrono::milliseconds(5));
    }
    if (!co_await m_keys.sendPaste(keys)) {
        qCWarning(lcWayland, "The paste keystroke could not be sent");
    }
    // The target fetches the text from us meanwhile, so the event loop must run.
    co_await sleepPrecisely(restoreDelay);
    m_clipboard.restore();
    if (withPrimary) {
        m_primary->restore();
    }
}

} // namespace sayloom
