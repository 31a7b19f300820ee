#include "desktop/x11/X11TextInserter.h"

#include "base/PreciseSleep.h"
#include "desktop/x11/X11ClipboardClock.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"
#include "desktop/x11/X11PasteClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include <cstdlib>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace sayloom {

X11TextInserter::X11TextInserter()
    : m_connection(X11Connection::open())
    , m_clock(std::make_unique<X11ClipboardClock>())
    , m_clipboard(std::make_unique<X11PasteClipboard>(*m_clock, QClipboard::Clipboard))
    , m_primary(std::make_unique<X11PasteClipboard>(*m_clock, QClipboard::Selection))
{
    if (m_connection) {
        m_keyboard = std::make_unique<X11Keyboard>(*m_connection);
    }
}

X11TextInserter::~X11TextInserter() = default;

PasteKeys X11TextInserter::pasteKeysForWindow(const std::optional<RunningApplication>& target)
{
    if (!m_connection) {
        return PasteKeys::controlV;
    }
    const std::optional<xcb_window_t> window =
            target && target->window
                    ? std::optional(xcb_window_t(*target->window))
                    : m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW"));
    if (!window) {
        return PasteKeys::controlV;
    }
    const auto [instance, windowClass] = m_connection->windowClass(*window);
    return pasteKeysFor(instance, windowClass);
}

bool X11TextInserter::modifierHeld() const
{
    xcb_connection_t* const c = m_connection->get();
    const auto keys = std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)>(
            xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr), &std::free);
    if (!keys) {
        return false;
    }
    for (int key = 8; key < 256; ++key) {
        if ((keys->keys[key / 8] >> (key % 8)) & 1 && m_keyboard->isModifier(xcb_keycode_t(key))) {
            return true;
        }
    }
    return false;
}

void X11TextInserter::postPaste(PasteKeys keys)
{
    const X11Keyboard& keyboard = *m_keyboard;
    const xcb_keycode_t control = keyboard.keyForSymbol(XKB_KEY_Control_L, keyboard.keyByName("LCTL", 37));
    const xcb_keycode_t shift = keyboard.keyForSymbol(XKB_KEY_Shift_L, keyboard.keyByName("LFSH", 50));
    QList<xcb_keycode_t> modifiers;
    xcb_keycode_t key = 0;
    switch (keys) {
    case PasteKeys::controlV:
        modifiers = {control};
        key = keyboard.keyForSymbol(XKB_KEY_v, keyboard.keyByName("AB04", 55));
        break;
    case PasteKeys::controlShiftV:
        modifiers = {control, shift};
        key = keyboard.keyForSymbol(XKB_KEY_v, keyboard.keyByName("AB04", 55));
        break;
    case PasteKeys::shiftInsert:
        modifiers = {shift};
        key = keyboard.keyForSymbol(XKB_KEY_Insert, keyboard.keyByName("INS", 118));
        break;
    }
    for (const xcb_keycode_t modifier : modifiers) {
        m_connection->fakeKey(modifier, true);
    }
    m_connection->fakeKey(key, true);
    m_connection->fakeKey(key, false);
    for (auto modifier = modifiers.crbegin(); modifier != modifiers.crend(); ++modifier) {
        m_connection->fakeKey(*modifier, false);
    }
    m_connection->flush();
}

QCoro::Task<void> X11TextInserter::insert(QString text, std::optional<RunningApplication> target)
{
    if (!m_connection || !m_connection->isUsable() || !QGuiApplication::clipboard()) {
        qCWarning(lcX11, "No X server to paste into");
        co_return;
    }
    // A keymap switched since the last paste moves V to another key.
    using Event = std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>;
    bool keymapChanged = false;
    while (Event event{xcb_poll_for_event(m_connection->get()), &std::free}) {
        keymapChanged = keymapChanged || m_keyboard->isKeymapChange(event.get());
    }
    if (keymapChanged) {
        m_keyboard->reload();
    }

    const PasteKeys keys = pasteKeysForWindow(target);
    // Pasting without the text on the clipboard would paste whatever was there before.
    if (!co_await m_clipboard->hold(text)) {
        qCWarning(lcX11, "Could not take the clipboard; nothing was pasted");
        co_return;
    }
    const bool withPrimary = keys == PasteKeys::shiftInsert && co_await m_primary->hold(text);

    // The trigger is a modifier: with it still down, Ctrl+V would arrive as Ctrl+Alt+V.
    const auto patience = std::chrono::steady_clock::now() + modifierWait;
    while (modifierHeld() && std::chrono::steady_clock::now() < patience) {
        co_await sleepPrecisely(std::chrono::milliseconds(5));
    }
    postPaste(keys);

    // The target fetches the text from us meanwhile, so the event loop must run.
    co_await sleepPrecisely(restoreDelay);
    m_clipboard->restore();
    if (withPrimary) {
        m_primary->restore();
    }
}

} // namespace sayloom
