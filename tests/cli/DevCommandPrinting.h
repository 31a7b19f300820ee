#pragma once

#include "DevCommand.h"
#include "Printers.h"

#include <ostream>

// Readable failure messages: GoogleTest would otherwise print these values as raw bytes.

namespace sayloom {

inline void PrintTo(const DevCommand::Transcribe& command, std::ostream* os)
{
    *os << "Transcribe{path=";
    ::PrintTo(command.path, os);
    *os << ", polish=" << (command.polish ? "true" : "false") << '}';
}

inline void PrintTo(const DevCommand::Polish& command, std::ostream* os)
{
    *os << "Polish{text=";
    ::PrintTo(command.text, os);
    *os << ", bundleIdentifier=";
    if (command.bundleIdentifier) {
        ::PrintTo(*command.bundleIdentifier, os);
    } else {
        *os << "none";
    }
    *os << '}';
}

inline void PrintTo(const DevCommand::Record& command, std::ostream* os)
{
    *os << "Record{seconds=" << command.seconds << '}';
}

inline void PrintTo(const DevCommand::Correct& command, std::ostream* os)
{
    *os << "Correct{text=";
    ::PrintTo(command.text, os);
    *os << '}';
}

inline void PrintTo(const DevCommand::Snapshot& command, std::ostream* os)
{
    *os << "Snapshot{folder=";
    ::PrintTo(command.folder, os);
    *os << '}';
}

inline void PrintTo(const DevCommand::SelfTest&, std::ostream* os)
{
    *os << "SelfTest{}";
}

} // namespace sayloom
