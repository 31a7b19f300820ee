#include "desktop/PasteKeys.h"

namespace sayloom {

namespace {

struct Terminal {
    const char* windowClass;
    PasteKeys keys;
};

// Terminal emulators by X11 WM_CLASS instance or class, which is also their Wayland application id.
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

} // namespace

PasteKeys pasteKeysFor(const QByteArray& instance, const QByteArray& windowClass)
{
    for (const Terminal& terminal : terminals) {
        if (qstricmp(instance.constData(), terminal.windowClass) == 0 ||
            qstricmp(windowClass.constData(), terminal.windowClass) == 0) {
            return terminal.keys;
        }
    }
    return PasteKeys::controlV;
}

} // namespace sayloom
