#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <optional>

namespace sayloom {

// One word or correction of the user's dictionary. The id only identifies an entry inside this process: it is
// never written to the file, and every parsed line gets a fresh one.
struct DictionaryEntry {
    enum class Kind { word, correction };

    DictionaryEntry(QString phrase, std::optional<QString> heardAs = std::nullopt, QUuid id = QUuid::createUuid());

    QUuid id;
    // The written form: exactly the text the system produces for this entry.
    QString phrase;
    // For a correction, what the recogniser produces instead of the phrase; absent for a word.
    std::optional<QString> heardAs;

    Kind kind() const { return heardAs ? Kind::correction : Kind::word; }
    // What the entry listens for in a transcript.
    const QString& heard() const { return heardAs ? *heardAs : phrase; }

    friend bool operator==(const DictionaryEntry&, const DictionaryEntry&) = default;

    static QString rawValue(Kind kind);
    static std::optional<Kind> kind(QStringView rawValue);
    static constexpr Kind allKinds[] = {Kind::word, Kind::correction};
};

size_t qHash(const DictionaryEntry& entry, size_t seed = 0);

} // namespace sayloom
