#include "app/WaylandDesktop.h"

#include "desktop/DataFiles.h"
#include "desktop/wayland/AtspiActiveApplication.h"
#include "desktop/wayland/DataControlClipboard.h"
#include "desktop/wayland/EvdevAccess.h"
#include "desktop/wayland/EvdevHotkeyMonitor.h"
#include "desktop/wayland/KWinActiveWindow.h"
#include "desktop/wayland/KeymapKeys.h"
#include "desktop/wayland/SwayActiveWindow.h"
#include "desktop/wayland/UinputKeyboard.h"
#include "desktop/wayland/VirtualKeyboard.h"
#include "desktop/wayland/WaylandAccessibilityTrust.h"
#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandTextInserter.h"
#include "desktop/x11/X11Clipboard.h"
#include "desktop/x11/X11ClipboardClock.h"
#include "desktop/x11/X11Compositor.h"
#include "desktop/x11/X11PasteClipboard.h"
#include "session/InputDevices.h"
#include "session/Preferences.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace sayloom {

namespace {

Q_LOGGING_CATEGORY(lcDesktopChoice, "app.sayloom.app", QtInfoMsg)

constexpr int keyV = 47; // KEY_V

// The uinput keyboard types key codes, which the compositor reads through the user's layout: the key that types "v"
// is looked up in the seat's keymap before each paste (the user may switch layouts), unless the settings name it.
class LayoutKeys final : public PasteKeySender {
public:
    LayoutKeys(WaylandConnection& connection, std::optional<int> overridden)
        : m_connection(connection)
        , m_overridden(overridden)
    {
    }

    bool isAvailable() const override { return m_keyboard.isAvailable(); }

    QCoro::Task<bool> sendPaste(PasteKeys keys) override
    {
        m_keyboard.setVKey(m_overridden.value_or(keyForV()));
        co_return co_await m_keyboard.sendPaste(keys);
    }

private:
    int keyForV()
    {
        const QByteArray keymap = m_connection.keymap();
        if (keymap != m_keymap) {
            m_keymap = keymap;
            m_key = KeymapKeys::keyTyping(KeymapKeys::keysymV, keymap).value_or(keyV);
        }
        return m_key;
    }

    WaylandConnection& m_connection;
    std::optional<int> m_overridden;
    UinputKeyboard m_keyboard;
    QByteArray m_keymap;
    int m_key = keyV;
};

// Where no route tells the focused window, the paste goes to whatever has the focus.
class NoActiveApplication final : public ActiveApplication {
public:
    std::optional<RunningApplication> frontmost() const override { return std::nullopt; }
    std::optional<RunningApplication> current() const override { return std::nullopt; }
    QCoro::Task<void> activate(RunningApplication) override { co_return; }
};

bool desktopIs(const char* name)
{
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(QLatin1String(name), Qt::CaseInsensitive);
}

} // namespace

WaylandDesktop::WaylandDesktop(Clock& clock, InputDevices& inputDevices, const Preferences& preferences)
    : m_hotkeyMonitor(std::make_unique<EvdevHotkeyMonitor>())
    , m_overlay(clock)
    , m_connection(std::make_unique<WaylandConnection>())
    , m_permissions([&inputDevices]() -> QCoro::Task<bool> { co_return !inputDevices.inputDevices().isEmpty(); })
{
    m_overlay.setCompositing(x11CompositorRunning());
    QStringList routes{QStringLiteral("keys from the keyboard devices")};

    if (m_connection->hasDataControl()) {
        auto clipboard = std::make_unique<DataControlClipboard>(*m_connection);
        m_clipboard = clipboard.get();
        m_pasteClipboard = std::move(clipboard);
        if (m_connection->dataControlVersion() >= 2) {
            m_primary = std::make_unique<DataControlClipboard>(*m_connection, DataControlClipboard::Selection::primary);
        }
        routes.append(QStringLiteral("the data-control clipboard"));
    } else {
        m_clipboardClock = std::make_unique<X11ClipboardClock>();
        m_pasteClipboard = std::make_unique<X11PasteClipboard>(*m_clipboardClock);
        m_primary = std::make_unique<X11PasteClipboard>(*m_clipboardClock, QClipboard::Selection);
        m_ownClipboard = std::make_unique<X11Clipboard>();
        m_clipboard = m_ownClipboard.get();
        routes.append(QStringLiteral("the XWayland clipboard"));
    }

    if (m_connection->hasVirtualKeyboard()) {
        m_keys = std::make_unique<VirtualKeyboard>(*m_connection);
        routes.append(QStringLiteral("typing through the compositor's virtual keyboard"));
    } else {
        const std::optional<int> overridden =
                preferences.pasteKey().isEmpty() ? std::nullopt : KeymapKeys::keyNamed(preferences.pasteKey());
        if (!preferences.pasteKey().isEmpty() && !overridden) {
            qCWarning(lcDesktopChoice, "The pasteKey setting \"%s\" names no key; the layout decides",
                      qUtf8Printable(preferences.pasteKey()));
        }
        m_keys = std::make_unique<LayoutKeys>(*m_connection, overridden);
        routes.append(QStringLiteral("typing through a uinput keyboard"));
    }
    EvdevHotkeyMonitor& monitor = *m_hotkeyMonitor;
    m_inserter = std::make_unique<WaylandTextInserter>(
            *m_pasteClipboard, *m_keys, [&monitor] { return monitor.modifierHeld(); }, m_primary.get());

    PasteKeySender& keys = *m_keys;
    const QString script = DataFiles::keyboardSetup();
    m_accessibility = std::make_unique<WaylandAccessibilityTrust>(
            [] { return EvdevAccess::keyboardsReadable(); },
            [&keys] { return keys.isAvailable() || EvdevAccess::uinputWritable(); },
            script.isEmpty() ? QString() : u"sudo " + script);

    if (!qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        m_activeApplication = std::make_unique<SwayActiveWindow>();
        routes.append(QStringLiteral("the active window from sway"));
    } else if (desktopIs("KDE")) {
        m_activeApplication = std::make_unique<KWinActiveWindow>();
        routes.append(QStringLiteral("the active window from a KWin script"));
    } else {
        m_activeApplication = std::make_unique<AtspiActiveApplication>();
        routes.append(QStringLiteral("the active application from the accessibility bus"));
    }
    m_description = u"Wayland: " + routes.join(QStringLiteral(", "));
}

WaylandDesktop::~WaylandDesktop() = default;

DesktopParts WaylandDesktop::parts()
{
    return DesktopParts{.hotkeyMonitor = *m_hotkeyMonitor,
                        .overlay = m_overlay,
                        .inserter = *m_inserter,
                        .permissions = m_permissions,
                        .accessibility = *m_accessibility,
                        .activeApplication = *m_activeApplication,
                        .clipboard = *m_clipboard,
                        .sounds = m_sounds};
}

} // namespace sayloom
