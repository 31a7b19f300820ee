#pragma once

#include "session/ports/LoginItem.h"

#include <QString>

#include <optional>

namespace sayloom {

// Launch at login: the XDG autostart entry app.sayloom.Sayloom.desktop in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, normally ~/.config/autostart). A copy in a system autostart folder
// ($XDG_CONFIG_DIRS/autostart) counts too, as the desktop counts it: the user's entry overrides it, so turning
// launch at login off then writes a hidden entry instead of removing one.
class Autostart final : public LoginItem {
public:
    static QString fileName() { return QStringLiteral("app.sayloom.Sayloom.desktop"); }

    // `program` is what the entry starts; empty means the running program (known once a QCoreApplication exists).
    explicit Autostart(QString program = {});
    Autostart(const Autostart&) = delete;
    Autostart& operator=(const Autostart&) = delete;

    // True when the desktop will start Sayloom at login: the entry that counts exists and is not switched off
    // (Hidden=true or X-GNOME-Autostart-enabled=false).
    bool isEnabled() const override;
    // Turns launch at login on or off; on failure returns "Couldn't change login items: " and the reason, and
    // leaves the state as it was.
    std::optional<QString> setEnabled(bool enabled) override;

    // The user's own entry, written and removed here.
    static QString userEntryPath();

private:
    std::optional<QString> write(const QString& contents);

    QString m_program;
};

} // namespace sayloom
