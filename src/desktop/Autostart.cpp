#include "desktop/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace sayloom {

namespace {

const QString autostartFolder = QStringLiteral("autostart");

QString failure(const QString& reason)
{
    return u"Couldn't change login items: " + reason;
}

// Whether the desktop starts the entry at `path`: an entry can be present yet switched off. One that cannot be read
// is skipped by the desktop as well.
bool entryIsOn(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    bool inMainGroup = false;
    bool on = true;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == u"Hidden" && value == u"true") {
            on = false;
        } else if (key == u"X-GNOME-Autostart-enabled" && value == u"false") {
            on = false;
        }
    }
    return on;
}

// The program as one argument of an Exec line: quoted when it holds a character the line reserves, with the
// escapes of quoted arguments, then those of the file's string values, and % doubled for field codes.
std::optional<QString> execArgument(const QString& program)
{
    if (program.contains(u'\n') || program.contains(u'\r') || program.contains(u'\t')) {
        return std::nullopt;
    }
    static const QString reserved = QStringLiteral(" \"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : program) {
        quote = quote || reserved.contains(c);
    }
    QString argument;
    for (QChar c : program) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
            argument += u'\\';
        }
        argument += c;
    }
    if (quote) {
        argument = u'"' + argument + u'"';
    }
    return argument.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("%%"));
}

} // namespace

Autostart::Autostart(QString program)
    : m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(program))
{
}

QString Autostart::userEntryPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : QDir(config).filePath(autostartFolder + u'/' + fileName());
}

bool Autostart::isEnabled() const
{
    // The first folder that has the entry decides: the user's, then the system's in order of preference.
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        const QString path = QDir(folder).filePath(autostartFolder + u'/' + fileName());
        if (QFileInfo::exists(path)) {
            return entryIsOn(path);
        }
    }
    return false;
}

std::optional<QString> Autostart::setEnabled(bool enabled)
{
    const QString entry = userEntryPath();
    if (entry.isEmpty()) {
        return failure(QStringLiteral("there is no configuration folder to keep them in"));
    }
    if (enabled && m_program.isEmpty()) {
        return failure(QStringLiteral("the program doesn't know where it is installed"));
    }
    if (enabled) {
        const std::optional<QString> exec = execArgument(QFileInfo(m_program).absoluteFilePath());
        if (!exec) {
            return failure(QStringLiteral("the program's path %1 can't be written in a login item").arg(m_program));
        }
        return write(QStringLiteral("[Desktop Entry]\n"
                                    "Type=Application\n"
                                    "Name=Sayloom\n"
                                    "Comment=Hold a key, speak, and your words are typed\n"
                                    "Exec=%1\n"
                                    "Icon=app.sayloom.Sayloom\n"
                                    "Terminal=false\n"
                                    "X-GNOME-Autostart-enabled=true\n")
                             .arg(*exec));
    }

    // Removing the user's entry would uncover a system one, which would start Sayloom again.
    bool systemEntryOn = false;
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    for (qsizetype i = 1; i < folders.size(); ++i) {
        const QString path = QDir(folders[i]).filePath(autostartFolder + u'/' + fileName());
        if (QFileInfo::exists(path)) {
            systemEntryOn = entryIsOn(path);
            break;
        }
    }
    if (systemEntryOn) {
        return write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Sayloom\nHidden=true\n"));
    }
    QFile file(entry);
    if (QFileInfo(entry).isSymLink() || file.exists()) {
        if (!file.remove()) {
            return failure(QStringLiteral("%1 can't be removed (%2)").arg(entry, file.errorString()));
        }
    }
    return std::nullopt;
}

std::optional<QString> Autostart::write(const QString& contents)
{
    const QString entry = userEntryPath();
    const QFileInfo folder(QFileInfo(entry).absolutePath());
    if (folder.exists() && !folder.isDir()) {
        return failure(QStringLiteral("%1 is a file, not a folder").arg(folder.filePath()));
    }
    if (!QDir().mkpath(folder.filePath())) {
        return failure(QStringLiteral("the folder %1 can't be created").arg(folder.filePath()));
    }
    QSaveFile file(entry);
    if (!file.open(QIODevice::WriteOnly)) {
        return failure(QStringLiteral("%1 can't be written (%2)").arg(entry, file.errorString()));
    }
    const QByteArray bytes = contents.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        return failure(QStringLiteral("%1 can't be written (%2)").arg(entry, file.errorString()));
    }
    return std::nullopt;
}

} // namespace sayloom
