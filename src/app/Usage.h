#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace sayloom {

// What the program says about itself on its command line: `--help` and `--version`, answered before anything
// else is touched (no display, no sound server, no files).
class Usage {
public:
    Usage() = delete;

    // The text to print when `arguments` (without the program path) ask for help or the version; nothing otherwise.
    static std::optional<QString> answer(const QStringList& arguments);

    static QString help();
    static QString version();
};

} // namespace sayloom
