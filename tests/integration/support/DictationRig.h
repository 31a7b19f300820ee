#pragma once

#include "ChildProcess.h"
#include "PulseServer.h"
#include "TestWindow.h"
#include "XServer.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace sayloom {

class X11Connection;

// A desktop of its own for the whole application: a private X server with a window manager, a private sound server
// whose default microphone plays what is written into its FIFO, and a keyboard that presses keys through XTest as a
// person would.
class DictationRig final {
public:
    DictationRig();
    DictationRig(const DictationRig&) = delete;
    DictationRig& operator=(const DictationRig&) = delete;
    ~DictationRig();

    // Starts both servers; on failure `error` says why.
    bool start(QString* error);

    // The home of everything on this desktop, the application included; the test's own files may go there too.
    QString home() const;
    QString historyFile() const;
    bool writeDictionary(const QByteArray& text) const;

    // Environment of the application: this desktop, this home, and every debug line of its own on (the phases are
    // among them; the rest explain a failure).
    QProcessEnvironment appEnvironment() const;
    // Starts the application (ending one started before) and waits until it says it is ready; how long that took,
    // or nothing when it does not get there.
    std::optional<ChildProcess::Clock::duration> launch();
    ChildProcess& app() { return *m_app; }
    // The phases the application logged so far, in order: "recording", "transcribing", "idle", "error: <message>".
    QStringList phases() const;
    // Waits until `count` phases are logged from number `from` (counted from 0) on, and gives all logged from there.
    QStringList waitForPhases(qsizetype from, qsizetype count);

    // The window to dictate into, started and holding the focus; nothing when it does not come up or get the focus.
    std::unique_ptr<TestWindow> openWindow();

    // The trigger key (right Alt) down or up, and Escape tapped, sent to the server at once.
    void trigger(bool down);
    void escape();
    // Plays `samples` into the microphone at the pace a microphone delivers them, and waits until the sound server
    // has read them all, the event loop running meanwhile.
    bool speak(std::span<const float> samples);

private:
    XServer m_xServer;
    PulseServer m_pulseServer;
    std::unique_ptr<FifoFeeder> m_microphone;
    std::unique_ptr<X11Connection> m_keyboard;
    std::unique_ptr<ChildProcess> m_app;
    std::uint8_t m_rightAlt = 0;
    std::uint8_t m_escape = 0;
};

} // namespace sayloom
