#include "dictionary/EnglishWords.h"

#include "base/UnicodeText.h"
#include "dictionary/DictionaryFile.h"

namespace sayloom {

QString EnglishWords::systemPath()
{
    return QStringLiteral("/usr/share/dict/words");
}

const QSet<QString>& EnglishWords::words()
{
    static const QSet<QString> set = load(systemPath());
    return set;
}

QSet<QString> EnglishWords::load(const QString& path)
{
    const std::optional<QString> text = DictionaryFile::readText(path);
    if (!text) {
        return {};
    }
    const QList<QStringView> lines = UnicodeText::nonEmptyLines(*text);
    QSet<QString> set;
    set.reserve(lines.size());
    for (const QStringView line : lines) {
        set.insert(line.toString().toLower());
    }
    return set;
}

} // namespace sayloom
