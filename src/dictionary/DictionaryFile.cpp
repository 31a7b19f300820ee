#include "dictionary/DictionaryFile.h"

#include "base/UnicodeText.h"

#include <QFile>
#include <QStringDecoder>

namespace sayloom {

namespace {

// Tried in this order; the first that occurs anywhere in the line is the separator.
constexpr QStringView separators[] = {u"->", u"\u2192", u"=>"};

std::optional<DictionaryEntry> entryFromLine(QStringView line)
{
    const QStringView trimmed = UnicodeText::trimmedBlanks(line);
    if (trimmed.isEmpty() || trimmed.startsWith(u'#')) {
        return std::nullopt;
    }
    for (const QStringView separator : separators) {
        const qsizetype at = trimmed.indexOf(separator);
        if (at < 0) {
            continue;
        }
        const QStringView heard = UnicodeText::trimmedBlanks(trimmed.first(at));
        const QStringView written = UnicodeText::trimmedBlanks(trimmed.sliced(at + separator.size()));
        if (heard.isEmpty() || written.isEmpty()) {
            return std::nullopt;
        }
        return DictionaryEntry(written.toString(), heard.toString());
    }
    return DictionaryEntry(trimmed.toString());
}

} // namespace

const QString& DictionaryFile::header()
{
    static const QString text =
            QStringLiteral("# Sayloom dictionary\n"
                           "#\n"
                           "# One entry per line. Edit here or in the app; changes show up in both.\n"
                           "#\n"
                           "#   A word or phrase to recognize:      Supabase\n"
                           "#   A correction, heard -> written:     cloud code -> Claude Code\n"
                           "#\n"
                           "# Corrections match whole words, ignore case, and also catch joined-up or\n"
                           "# hyphenated spellings: \"cloud code\" also matches \"CloudCode\" and \"cloud-code\".\n");
    return text;
}

QList<DictionaryEntry> DictionaryFile::parse(QStringView text)
{
    if (text.startsWith(QChar::ByteOrderMark)) {
        text = text.sliced(1);
    }
    QList<DictionaryEntry> entries;
    for (const QStringView line : UnicodeText::nonEmptyLines(text)) {
        if (auto entry = entryFromLine(line)) {
            entries.append(std::move(*entry));
        }
    }
    return entries;
}

QString DictionaryFile::serialize(const QList<DictionaryEntry>& entries)
{
    QString text = header();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const DictionaryEntry& entry = entries[i];
        if (i > 0) {
            text += u'\n';
        }
        if (entry.heardAs) {
            text += *entry.heardAs + u" -> " + entry.phrase;
        } else {
            text += entry.phrase;
        }
    }
    text += u'\n';
    return text;
}

std::optional<QString> DictionaryFile::readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    // The decoder keeps a leading byte-order mark so that parse() sees the file exactly as it is.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace sayloom
