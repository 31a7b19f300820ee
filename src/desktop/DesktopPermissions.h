#pragma once

#include "desktop/Launcher.h"
#include "session/ports/Permissions.h"

#include <functional>

namespace sayloom {

// Permissions on a Linux desktop. There is no grant to ask for: the microphone is usable when the sound server
// answers and offers an input, so the question goes to `microphoneCheck`. The two settings pages become the
// desktop's sound settings, or the help page that says what each grant means here.
class DesktopPermissions final : public Permissions {
public:
    // Answers whether the sound server is reachable and has at least one input source. It must finish in a bounded
    // time (it is awaited at start-up) and should not throw; a check that throws counts as no microphone. The
    // application gives one that reads the live microphone list.
    using MicrophoneCheck = std::function<QCoro::Task<bool>()>;

    // The sound settings tried for the microphone page, in this order; the first found on PATH is started.
    struct SoundSettings {
        QString program;
        QStringList arguments;
    };
    static const QList<SoundSettings>& soundSettings();

    explicit DesktopPermissions(MicrophoneCheck microphoneCheck, Launcher launcher = Launcher::system());
    DesktopPermissions(const DesktopPermissions&) = delete;
    DesktopPermissions& operator=(const DesktopPermissions&) = delete;

    QCoro::Task<bool> requestMicrophone() override;
    // The microphone page starts the desktop's sound settings, or opens the help page when none is installed; the
    // accessibility page opens the help page; a web address opens in the browser; anything else does nothing.
    void open(const QString& address) override;

private:
    void openHelpPage();

    MicrophoneCheck m_microphoneCheck;
    Launcher m_launcher;
};

} // namespace sayloom
