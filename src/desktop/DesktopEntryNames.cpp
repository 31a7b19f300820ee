#include "desktop/DesktopEntryNames.h"

#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>

namespace sayloom {

namespace {

struct Entry {
    QString name;
    QString windowClass;
};

// The Name (translated for the user's language when the entry has it) and StartupWMClass of the main group.
std::optional<Entry> readEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    const QString language = QLocale().name();
    const QString localised = u"Name[" + language + u"]=";
    const QString ofLanguage = u"Name[" + language.section(u'_', 0, 0) + u"]=";
    Entry entry;
    QString translated;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            if (inMainGroup) {
                break;
            }
            inMainGroup = line == u"[Desktop Entry]";
        } else if (!inMainGroup) {
            continue;
        } else if (line.startsWith(u"Name=")) {
            entry.name = line.mid(5).trimmed();
        } else if (line.startsWith(localised) || (translated.isEmpty() && line.startsWith(ofLanguage))) {
            translated = line.section(u'=', 1).trimmed();
        } else if (line.startsWith(u"StartupWMClass=")) {
            entry.windowClass = line.mid(15).trimmed();
        }
    }
    if (!translated.isEmpty()) {
        entry.name = translated;
    }
    if (entry.name.isEmpty()) {
        return std::nullopt;
    }
    return entry;
}

} // namespace

DesktopEntryNames::DesktopEntryNames(QStringList folders)
{
    if (folders.isEmpty()) {
        folders = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    }
    for (const QString& folder : folders) {
        QDirIterator files(folder + u"/applications", {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const std::optional<Entry> entry = readEntry(path);
            if (!entry) {
                continue;
            }
            const QString fileName = files.fileInfo().completeBaseName().toLower();
            m_names.insert(fileName, m_names.value(fileName, entry->name));
            if (!entry->windowClass.isEmpty()) {
                const QString key = entry->windowClass.toLower();
                m_names.insert(key, m_names.value(key, entry->name));
            }
        }
    }
}

std::optional<QString> DesktopEntryNames::nameFor(const QStringList& keys) const
{
    for (const QString& key : keys) {
        if (const auto found = m_names.constFind(key.toLower()); !key.isEmpty() && found != m_names.constEnd()) {
            return found.value();
        }
    }
    return std::nullopt;
}

} // namespace sayloom
