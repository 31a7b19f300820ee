#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace sayloom {

// The names applications go by in the menus, from the desktop entries in the XDG data folders, found by an
// application id or window class: the entry's file name, or its StartupWMClass. Read once when built.
class DesktopEntryNames final {
public:
    // `folders` are data folders (each with an "applications" folder); by default those of the user and system.
    explicit DesktopEntryNames(QStringList folders = {});

    // The Name of the first entry that matches any key (compared without case), in the order given.
    std::optional<QString> nameFor(const QStringList& keys) const;

private:
    // Lower-cased file names (without .desktop) and StartupWMClass values to names; the user's entries win.
    QHash<QString, QString> m_names;
};

} // namespace sayloom
