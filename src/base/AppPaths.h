#pragma once

#include <QString>

namespace sayloom {

// Where Sayloom keeps its files: $XDG_DATA_HOME/Sayloom (normally ~/.local/share/Sayloom). Computed once per
// process; the folder itself is created by the first write.
class AppPaths {
public:
    AppPaths() = delete;

    static const QString& support();
    static const QString& dictionary();
    static const QString& history();
};

} // namespace sayloom
