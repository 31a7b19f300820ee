#include "base/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace sayloom {

const QString& AppPaths::support()
{
    static const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                        .filePath(QStringLiteral("Sayloom"));
    return path;
}

const QString& AppPaths::dictionary()
{
    static const QString path = QDir(support()).filePath(QStringLiteral("Dictionary.txt"));
    return path;
}

const QString& AppPaths::history()
{
    static const QString path = QDir(support()).filePath(QStringLiteral("History.json"));
    return path;
}

} // namespace sayloom
