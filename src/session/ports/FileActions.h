#pragma once

#include <QCoroTask>
#include <QString>

namespace sayloom {

// Handing one of the user's files to the desktop: opening it in their application for it, or showing it in the
// file manager.
class FileActions {
public:
    virtual ~FileActions() = default;

    // Opens `path` with the desktop's default application for it; false when nothing took it.
    virtual bool open(const QString& path) const = 0;
    // Shows `path` selected in the file manager, else opens the folder that holds it; true when the file manager
    // took it. Never blocks.
    virtual QCoro::Task<bool> reveal(const QString& path) const = 0;
};

} // namespace sayloom
