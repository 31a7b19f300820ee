#include "DictationRig.h"

#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <thread>

namespace sayloom {

using namespace Qt::StringLiterals;

DictationRig::DictationRig() = default;

DictationRig::~DictationRig() = default;

bool DictationRig::start(QString* error)
{
    const auto fail = [error](const QString& why) {
        *error = why;
        return false;
    };
    // openbox binds Alt+Escape to lowering the focused window and handing the focus on, as GNOME binds it to
    // switching windows. With right Alt as the trigger, cancelling with Escape is that very chord, so the desktop
    // would move the focus after every cancel, whatever the application does: this desktop leaves the chord alone.
    // openbox looks in $XDG_CONFIG_HOME, which is the home, before the system's folder.
    QFile systemConfig(u"/etc/xdg/openbox/rc.xml"_s);
    if (systemConfig.open(QIODevice::ReadOnly)) {
        static const QRegularExpression altEscape(uR"(<keybind key="A-Escape">.*?</keybind>)"_s,
                                                  QRegularExpression::DotMatchesEverythingOption);
        QFile config(home() + u"/openbox/rc.xml"_s);
        const QByteArray text = QString::fromUtf8(systemConfig.readAll()).remove(altEscape).toUtf8();
        if (!QDir(home()).mkpath(u"openbox"_s) || !config.open(QIODevice::WriteOnly) ||
            config.write(text) != text.size()) {
            return fail(u"cannot write the window manager's configuration"_s);
        }
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

QString DictationRig::home() const
{
    return m_xServer.environment().value(u"HOME"_s);
}

QString DictationRig::historyFile() const
{
    return home() + u"/data/Sayloom/History.json"_s;
}

bool DictationRig::writeDictionary(const QByteArray& text) const
{
    QFile file(home() + u"/data/Sayloom/Dictionary.txt"_s);
    return QDir(home()).mkpath(u"data/Sayloom"_s) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QProcessEnvironment DictationRig::appEnvironment() const
{
    // The X server's environment has HOME and the other XDG folders in its home already.
    QProcessEnvironment environment = m_xServer.environment();
    environment.insert(u"XDG_DATA_HOME"_s, home() + u"/data"_s);
    environment.insert(u"PULSE_SERVER"_s, m_pulseServer.address());
    environment.insert(u"QT_LOGGING_RULES"_s, u"app.sayloom.*.debug=true"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"SAYLOOM_DEBUG"_s);
    return environment;
}

std::optional<ChildProcess::Clock::duration> DictationRig::launch()
{
    m_app.reset();
    const auto started = ChildProcess::Clock::now();
    m_app = std::make_unique<ChildProcess>(QStringLiteral(SAYLOOM_EXECUTABLE), QStringList(), appEnvironment());
    const qsizetype ready = m_app->waitFor(u"^app\\.sayloom\\.app: ready$"_s);
    return ready < 0 ? std::nullopt : std::optional(m_app->lines()[ready].at - started);
}

QStringList DictationRig::phases() const
{
    static const QRegularExpression phase(u"^app\\.sayloom\\.app: phase (.+)$"_s);
    QStringList phases;
    for (const ChildProcess::Line& line : m_app->lines()) {
        if (const QRegularExpressionMatch match = phase.match(line.text); match.hasMatch()) {
            phases << match.captured(1);
        }
    }
    return phases;
}

QStringList DictationRig::waitForPhases(qsizetype from, qsizetype count)
{
    waitUntil([&] { return phases().size() >= from + count; });
    return phases().mid(from);
}

std::unique_ptr<TestWindow> DictationRig::openWindow()
{
    auto window = std::make_unique<TestWindow>(u"SayloomTestWindow"_s, m_xServer.environment());
    const auto focused = [&] {
        const std::optional<xcb_window_t> active =
                m_keyboard->windowProperty(m_keyboard->root(), m_keyboard->atom("_NET_ACTIVE_WINDOW"));
        return active && m_keyboard->cardinal(*active, m_keyboard->atom("_NET_WM_PID")) == window->pid();
    };
    return waitUntil(focused) ? std::move(window) : nullptr;
}

void DictationRig::trigger(bool down)
{
    m_keyboard->fakeKey(m_rightAlt, down);
    m_keyboard->flush();
}

void DictationRig::escape()
{
    m_keyboard->fakeKey(m_escape, true);
    m_keyboard->fakeKey(m_escape, false);
    m_keyboard->flush();
}

bool DictationRig::speak(std::span<const float> samples)
{
    // The writing waits for the sound server, so it runs beside the event loop rather than in it.
    std::atomic<int> written = -1;
    std::jthread writer(
            [&](std::stop_token stop) { written = m_microphone->writeInRealTime(samples, 16000, 320, stop) ? 1 : 0; });
    const bool done = waitUntil([&] { return written == 0 || (written == 1 && m_microphone->unread() == 0); });
    writer.request_stop();
    return done && written == 1;
}

} // namespace sayloom
