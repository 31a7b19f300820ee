#pragma once

#include "AppProcess.h"
#include "PulseServer.h"
#include "TargetWindow.h"
#include "XServer.h"

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

namespace sayloom {

class X11Connection;

// A desktop of its own for the whole application: a private X server with a window manager, a private sound server
// whose default microphone plays what is written into its FIFO, a home folder with every XDG folder inside, and a
// keyboard that presses keys through XTest as a person would.
class DictationRig final {
public:
    struct Programs {
        QString sayloom;
        QString targetWindow;
    };

    explicit DictationRig(Programs programs);
    DictationRig(const DictationRig&) = delete;
    DictationRig& operator=(const DictationRig&) = delete;
    ~DictationRig();

    // Starts both servers and sets up the home; on failure `error` says why.
    bool start(QString* error);

    // A folder for the test's own files, outside the application's.
    QString scratchFolder() const;
    // $XDG_DATA_HOME/Sayloom, where the dictionary and the history live.
    QString dataFolder() const;
    QString historyFile() const;
    bool writeDictionary(const QByteArray& text) const;

    // Environment of the application: this desktop, this home, and every debug line of its own on (the phases are
    // among them; the rest explain a failure).
    QProcessEnvironment appEnvironment() const;
    // The application, started.
    std::unique_ptr<AppProcess> launch() const;
    // The window to dictate into, started and holding the focus; nothing when it does not come up or get the focus
    // within `patience`.
    std::unique_ptr<TargetWindow> openWindow(std::chrono::milliseconds patience);
    // The process owning the window the window manager calls active.
    qint64 activeWindowPid();

    // The trigger key (right Alt) and Escape, down or up, sent to the server at once.
    void trigger(bool down);
    void escape(bool down);

    // Plays `samples` into the microphone at the pace a microphone delivers them, and waits until the sound server
    // has read them all, the event loop running meanwhile.
    bool speak(std::span<const float> samples, std::chrono::milliseconds patience);

private:
    Programs m_programs;
    XServer m_xServer;
    PulseServer m_pulseServer;
    QTemporaryDir m_home;
    std::unique_ptr<FifoFeeder> m_microphone;
    std::unique_ptr<X11Connection> m_keyboard;
    std::uint8_t m_rightAlt = 0;
    std::uint8_t m_escape = 0;
};

} // namespace sayloom
