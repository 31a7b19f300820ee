#include "DictationRig.h"

#include "WaitUntil.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <thread>

namespace sayloom {

using namespace Qt::StringLiterals;

DictationRig::DictationRig(Programs programs)
    : m_programs(std::move(programs))
    , m_home(QDir::tempPath() + u"/sayloom-home-XXXXXX")
{
}

DictationRig::~DictationRig() = default;

bool DictationRig::start(QString* error)
{
    const auto fail = [error](const QString& why) {
        *error = why;
        return false;
    };
    if (!m_home.isValid()) {
        return fail(u"no temporary folder"_s);
    }
    for (const QString& folder : {u".config"_s, u".local/share"_s, u".cache"_s, u"runtime"_s, u"scratch"_s}) {
        if (!QDir(m_home.path()).mkpath(folder)) {
            return fail(u"cannot make "_s + folder);
        }
    }
    // Qt refuses a runtime folder that others may read.
    QFile::setPermissions(m_home.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // openbox binds Alt+Escape to lowering the focused window and handing the focus on, as GNOME binds it to
    // switching windows. With right Alt as the trigger, cancelling with Escape is that very chord, so the desktop
    // would move the focus after every cancel, whatever the application does: this desktop leaves the chord alone.
    QFile systemConfig(u"/etc/xdg/openbox/rc.xml"_s);
    if (systemConfig.open(QIODevice::ReadOnly)) {
        static const QRegularExpression altEscape(uR"(<keybind key="A-Escape">.*?</keybind>)"_s,
                                                  QRegularExpression::DotMatchesEverythingOption);
        QFile config(m_home.filePath(u"openbox.xml"_s));
        const QByteArray text = QString::fromUtf8(systemConfig.readAll()).remove(altEscape).toUtf8();
        if (!config.open(QIODevice::WriteOnly) || config.write(text) != text.size()) {
            return fail(u"cannot write the window manager's configuration"_s);
        }
        m_xServer.setWindowManagerConfig(config.fileName());
    }
    if (!m_xServer.start(error) || !m_pulseServer.start(error)) {
        return false;
    }
    const std::optional<PulseServer::Microphone> microphone = m_pulseServer.addMicrophone(
            u"microphone"_s, u"Built-in Microphone"_s, {{u"device.form_factor"_s, u"internal"_s}});
    if (!microphone || !m_pulseServer.setDefaultSource(microphone->name)) {
        return fail(u"cannot add a microphone to the sound server"_s);
    }
    m_microphone = std::make_unique<FifoFeeder>(microphone->fifo);
    // Somewhere for the cues to play, as on any desktop.
    if (!m_pulseServer.pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=speakers"_s})) {
        return fail(u"cannot add speakers to the sound server"_s);
    }

    m_keyboard = X11Connection::open(m_xServer.environment().value(u"DISPLAY"_s).toLocal8Bit());
    if (!m_keyboard || !m_keyboard->hasXTest()) {
        return fail(u"no XTest on the private X server"_s);
    }
    const X11Keyboard keymap(*m_keyboard);
    m_rightAlt = keymap.keyByName("RALT", 108);
    m_escape = keymap.keyByName("ESC", 9);
    return true;
}

QString DictationRig::scratchFolder() const
{
    return m_home.filePath(u"scratch"_s);
}

QString DictationRig::dataFolder() const
{
    return m_home.filePath(u".local/share/Sayloom"_s);
}

QString DictationRig::historyFile() const
{
    return dataFolder() + u"/History.json"_s;
}

bool DictationRig::writeDictionary(const QByteArray& text) const
{
    QFile file(dataFolder() + u"/Dictionary.txt"_s);
    return QDir().mkpath(dataFolder()) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QProcessEnvironment DictationRig::appEnvironment() const
{
    QProcessEnvironment environment = m_xServer.environment();
    environment.insert(u"HOME"_s, m_home.path());
    environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u".config"_s));
    environment.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u".local/share"_s));
    environment.insert(u"XDG_CACHE_HOME"_s, m_home.filePath(u".cache"_s));
    environment.insert(u"XDG_RUNTIME_DIR"_s, m_home.filePath(u"runtime"_s));
    environment.insert(u"PULSE_SERVER"_s, m_pulseServer.address());
    environment.insert(u"QT_LOGGING_RULES"_s, u"app.sayloom.*.debug=true"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"SAYLOOM_DEBUG"_s);
    return environment;
}

std::unique_ptr<AppProcess> DictationRig::launch() const
{
    auto app = std::make_unique<AppProcess>(m_programs.sayloom, appEnvironment());
    app->start();
    return app;
}

std::unique_ptr<TargetWindow> DictationRig::openWindow(std::chrono::milliseconds patience)
{
    auto window = std::make_unique<TargetWindow>(m_programs.targetWindow, m_xServer.environment());
    if (!window->start(patience) || !waitUntil([&] { return activeWindowPid() == window->pid(); }, patience)) {
        return nullptr;
    }
    return window;
}

qint64 DictationRig::activeWindowPid()
{
    const std::optional<xcb_window_t> active =
            m_keyboard->windowProperty(m_keyboard->root(), m_keyboard->atom("_NET_ACTIVE_WINDOW"));
    if (!active) {
        return 0;
    }
    return m_keyboard->cardinal(*active, m_keyboard->atom("_NET_WM_PID")).value_or(0);
}

void DictationRig::trigger(bool down)
{
    m_keyboard->fakeKey(m_rightAlt, down);
    m_keyboard->flush();
}

void DictationRig::escape(bool down)
{
    m_keyboard->fakeKey(m_escape, down);
    m_keyboard->flush();
}

bool DictationRig::speak(std::span<const float> samples, std::chrono::milliseconds patience)
{
    // The writing waits for the sound server, so it runs beside the event loop rather than in it.
    std::atomic<int> written = -1;
    std::jthread writer(
            [&](std::stop_token stop) { written = m_microphone->writeInRealTime(samples, 16000, 320, stop) ? 1 : 0; });
    const bool done =
            waitUntil([&] { return written == 0 || (written == 1 && m_microphone->unread() == 0); }, patience);
    writer.request_stop();
    return done && written == 1;
}

} // namespace sayloom
