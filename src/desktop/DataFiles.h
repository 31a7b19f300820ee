#pragma once

#include <QString>

namespace sayloom {

// The files Sayloom ships (the help page, the cue sounds): in share/sayloom beside the installed program, else in
// the build tree a developer runs it from, else in sayloom/ under the standard data folders ($XDG_DATA_DIRS).
class DataFiles {
public:
    DataFiles() = delete;

    // The absolute path of the shipped file `name`, or empty when no place has it.
    static QString find(const QString& name);

    static QString helpPage() { return find(QStringLiteral("help.html")); }
    // The script that lets this account read the keyboards and type on Wayland, run once with sudo.
    static QString keyboardSetup() { return find(QStringLiteral("sayloom-setup-keyboard")); }
};

} // namespace sayloom
