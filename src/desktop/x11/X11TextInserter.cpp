#include "desktop/x11/X11TextInserter.h"

#include "desktop/x11/X11ClipboardClock.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <QClipboard>
#include <QCoroTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

#include <cstdlib>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace sayloom {

namespace {

using PasteKeys = X11TextInserter::PasteKeys;

struct Terminal {
    const char* windowClass;
    PasteKeys keys;
};

// Terminal emulators by WM_CLASS instance or class (either matches, without case). Ctrl+V reaches the shell as a
// literal ^V there, so they paste with Ctrl+Shift+V; xterm and rxvt paste PRIMARY with Shift+Insert.
constexpr Terminal terminals[] = {
        {"gnome-terminal-server", PasteKeys::controlShiftV},
        {"gnome-terminal", PasteKeys::controlShiftV},
        {"org.gnome.Console", PasteKeys::controlShiftV},
        {"kgx", PasteKeys::controlShiftV},
        {"org.gnome.Ptyxis", PasteKeys::controlShiftV},
        {"ptyxis", PasteKeys::controlShiftV},
        {"konsole", PasteKeys::controlShiftV},
        {"yakuake", PasteKeys::controlShiftV},
        {"xfce4-terminal", PasteKeys::controlShiftV},
        {"mate-terminal", PasteKeys::controlShiftV},
        {"lxterminal", PasteKeys::controlShiftV},
        {"qterminal", PasteKeys::controlShiftV},
        {"tilix", PasteKeys::controlShiftV},
        {"terminator", PasteKeys::controlShiftV},
        {"guake", PasteKeys::controlShiftV},
        {"tilda", PasteKeys::controlShiftV},
        {"sakura", PasteKeys::controlShiftV},
        {"terminology", PasteKeys::controlShiftV},
        {"alacritty", PasteKeys::controlShiftV},
        {"kitty", PasteKeys::controlShiftV},
        {"org.wezfurlong.wezterm", PasteKeys::controlShiftV},
        {"wezterm", PasteKeys::controlShiftV},
        {"com.mitchellh.ghostty", PasteKeys::controlShiftV},
        {"foot", PasteKeys::controlShiftV},
        {"footclient", PasteKeys::controlShiftV},
        {"st", PasteKeys::controlShiftV},
        {"st-256color", PasteKeys::controlShiftV},
        {"cool-retro-term", PasteKeys::controlShiftV},
        {"deepin-terminal", PasteKeys::controlShiftV},
        {"x-terminal-emulator", PasteKeys::controlShiftV},
        {"xterm", PasteKeys::shiftInsert},
        {"uxterm", PasteKeys::shiftInsert},
        {"urxvt", PasteKeys::shiftInsert},
        {"rxvt", PasteKeys::shiftInsert},
        {"rxvt-unicode", PasteKeys::shiftInsert},
};

// Formats that describe the clipboard rather than carry its content, or that Qt builds from the image formats.
bool isBookkeeping(const QString& format)
{
    return format == u"TARGETS" || format == u"MULTIPLE" || format == u"TIMESTAMP" || format == u"SAVE_TARGETS" ||
           format == u"application/x-qt-image";
}

// Every format with data, copied as bytes, so the copy no longer depends on the program that offered it. Nothing
// when the clipboard holds nothing. Each format is a request to the program that copied; one that does not answer
// costs Qt's clipboard timeout once, not once per format.
std::unique_ptr<QMimeData> snapshot(QClipboard& clipboard, QClipboard::Mode mode)
{
    const QMimeData* current = clipboard.mimeData(mode);
    if (!current) {
        return nullptr;
    }
    constexpr std::chrono::milliseconds patience{1000};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto copy = std::make_unique<QMimeData>();
    for (const QString& format : current->formats()) {
        if (isBookkeeping(format)) {
            continue;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            qCWarning(lcX11, "The program that owns the clipboard answers too slowly; only part of it is kept");
            break;
        }
        const QByteArray bytes = current->data(format);
        if (!bytes.isEmpty()) {
            copy->setData(format, bytes);
        }
    }
    return copy->formats().isEmpty() ? nullptr : std::move(copy);
}

// The text as plain text (UTF8_STRING and text/plain;charset=utf-8), marked for clipboard managers of both
// conventions as content to leave out of their history.
QMimeData* transientText(const QString& text)
{
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
    data->setData(QStringLiteral("org.nspasteboard.TransientType"), QByteArray());
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    return data;
}

// Puts the copy back when the clipboard still holds what we put there; otherwise someone copied since, and that
// stays.
void restore(QClipboard& clipboard, QClipboard::Mode mode, const QPointer<QMimeData>& ours,
             std::unique_ptr<QMimeData> saved)
{
    if (!ours || clipboard.mimeData(mode) != ours) {
        return;
    }
    if (saved) {
        clipboard.setMimeData(saved.release(), mode);
    } else {
        clipboard.clear(mode);
    }
}

QCoro::Task<void> sleepPrecisely(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    co_await timer;
}

} // namespace

X11TextInserter::X11TextInserter()
    : m_connection(X11Connection::open())
    , m_clock(std::make_unique<X11ClipboardClock>())
{
    if (m_connection) {
        m_keyboard = std::make_unique<X11Keyboard>(*m_connection);
    }
}

X11TextInserter::~X11TextInserter() = default;

X11TextInserter::PasteKeys X11TextInserter::pasteKeysFor(const QByteArray& instance, const QByteArray& windowClass)
{
    for (const Terminal& terminal : terminals) {
        if (qstricmp(instance.constData(), terminal.windowClass) == 0 ||
            qstricmp(windowClass.constData(), terminal.windowClass) == 0) {
            return terminal.keys;
        }
    }
    return PasteKeys::controlV;
}

X11TextInserter::PasteKeys X11TextInserter::pasteKeysForWindow(const std::optional<RunningApplication>& target)
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
    QClipboard* const clipboard = QGuiApplication::clipboard();
    if (!m_connection || !m_connection->isUsable() || !clipboard) {
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

    co_await m_clock->freshen();

    const PasteKeys keys = pasteKeysForWindow(target);
    const bool withPrimary = keys == PasteKeys::shiftInsert;
    std::unique_ptr<QMimeData> saved = snapshot(*clipboard, QClipboard::Clipboard);
    std::unique_ptr<QMimeData> savedPrimary = withPrimary ? snapshot(*clipboard, QClipboard::Selection) : nullptr;

    const QPointer<QMimeData> ours = transientText(text);
    clipboard->setMimeData(ours, QClipboard::Clipboard);
    QPointer<QMimeData> oursPrimary;
    if (withPrimary) {
        oursPrimary = transientText(text);
        clipboard->setMimeData(oursPrimary, QClipboard::Selection);
    }
    // Pasting without the text on the clipboard would paste whatever was there before.
    if (clipboard->mimeData(QClipboard::Clipboard) != ours) {
        qCWarning(lcX11, "Could not take the clipboard; nothing was pasted");
        co_return;
    }

    // The trigger is a modifier: with it still down, Ctrl+V would arrive as Ctrl+Alt+V.
    const auto patience = std::chrono::steady_clock::now() + modifierWait;
    while (modifierHeld() && std::chrono::steady_clock::now() < patience) {
        co_await sleepPrecisely(std::chrono::milliseconds(5));
    }
    postPaste(keys);

    // The target fetches the text from us meanwhile, so the event loop must run.
    co_await sleepPrecisely(restoreDelay);
    restore(*clipboard, QClipboard::Clipboard, ours, std::move(saved));
    if (withPrimary) {
        restore(*clipboard, QClipboard::Selection, oursPrimary, std::move(savedPrimary));
    }
}

} // namespace sayloom
