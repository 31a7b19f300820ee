#include "app/Usage.h"

namespace sayloom {

std::optional<QString> Usage::answer(const QStringList& arguments)
{
    // Only in first place, like the developer commands: "--transcribe --help" transcribes a file named --help.
    if (arguments.isEmpty()) {
        return std::nullopt;
    }
    if (arguments.first() == u"--help" || arguments.first() == u"-h") {
        return help();
    }
    if (arguments.first() == u"--version") {
        return version();
    }
    return std::nullopt;
}

QString Usage::help()
{
    return QStringLiteral(
            "Usage: sayloom [COMMAND]\n"
            "\n"
            "Push-to-talk dictation. With no command, Sayloom starts on your desktop with an icon in the tray (or\n"
            "its window where there is no tray), or shows the one already running. Hold Right Alt anywhere, speak\n"
            "and let go: the text is pasted where your cursor is. Double-tap to keep recording, Escape to cancel.\n"
            "\n"
            "Developer commands (print plain lines, open no window, exit 0, or 1 after an \"error:\" line):\n"
            "  --correct TEXT                 apply your dictionary to TEXT and list each correction\n"
            "  --selftest                     run the built-in correction and warning cases\n"
            "  --transcribe PATH [--polish]   transcribe an audio file with your dictionary's words; --polish also\n"
            "                                 cleans the transcript up\n"
            "  --polish TEXT [--app ID]       clean a text up as a dictation would be, for the application ID\n"
            "  --record [SECONDS]             record from the chosen microphone (default 4 seconds) and transcribe\n"
            "  --snapshot FOLDER              draw the screens and the pill, light and dark, as PNG files\n"
            "\n"
            "  -h, --help                     show this help\n"
            "  --version                      show the version\n"
            "\n"
            "Your dictionary and history are in ~/.local/share/Sayloom, your settings in\n"
            "~/.config/Sayloom/Sayloom.conf. Nothing leaves this computer.\n");
}

QString Usage::version()
{
    return QStringLiteral("sayloom " SAYLOOM_VERSION "\n");
}

} // namespace sayloom
