#include "desktop/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace sayloom {

QString DataFiles::find(const QString& name)
{
    // Without an application object there is no program folder to start from; the build tree is still tried.
    QStringList folders;
    if (QCoreApplication::instance() != nullptr) {
        folders << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(SAYLOOM_INSTALLED_DATA_DIR));
    }
    folders << QStringLiteral(SAYLOOM_BUILD_DATA_DIR);
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (file.isFile()) {
            return file.absoluteFilePath();
        }
    }
    // A program installed away from its files, as some packages do with their binaries, still finds them in the
    // standard data folders.
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"sayloom/" + name);
}

} // namespace sayloom
