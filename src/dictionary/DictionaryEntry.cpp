#include "dictionary/DictionaryEntry.h"

namespace sayloom {

DictionaryEntry::DictionaryEntry(QString written, std::optional<QString> heard, QUuid identity)
    : id(identity)
    , phrase(std::move(written))
    , heardAs(std::move(heard))
{
}

QString DictionaryEntry::rawValue(Kind kind)
{
    return kind == Kind::word ? QStringLiteral("word") : QStringLiteral("correction");
}

std::optional<DictionaryEntry::Kind> DictionaryEntry::kind(QStringView rawValue)
{
    if (rawValue == u"word") {
        return Kind::word;
    }
    if (rawValue == u"correction") {
        return Kind::correction;
    }
    return std::nullopt;
}

size_t qHash(const DictionaryEntry& entry, size_t seed)
{
    return qHashMulti(seed, entry.id, entry.phrase, entry.heardAs.has_value(), entry.heardAs.value_or(QString()));
}

} // namespace sayloom
