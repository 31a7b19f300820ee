#pragma once

#include "history/HistoryEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

class QSettings;

namespace sayloom {

// History.json: every delivered dictation, newest first, at most 1000. The list in memory is the truth while the
// program runs; the file is read once at start-up and rewritten whole after every change.
class History {
public:
    History() = delete;

    static constexpr qsizetype maximumCount = 1000;
    // Where an earlier version kept the same JSON array, in the settings; read only as a fallback.
    static constexpr QStringView legacySettingsKey = u"history";

    // Never fails; the worst case is an empty list. Falls back to the settings value when the file is missing,
    // unreadable or does not decode, moving it into the file. Nothing of the user's is lost on the way: a file that
    // does not decode is copied first to "History.json.corrupt" (an earlier copy with other content is kept, and this
    // one goes to "History.json.corrupt-2", -3 …), and a file that cannot be read is moved to
    // "History.json.unreadable" (-2, -3 …), before the next save replaces it.
    static QList<HistoryEntry> load(QSettings& settings, const QString& path);
    // Writes the newest 1000 entries atomically, creating the folder when needed. False (and a log line) when
    // nothing could be written; the caller's list is never touched.
    static bool save(const QList<HistoryEntry>& entries, const QString& path);

    // The stored form: one compact JSON array. Nothing when an entry cannot be encoded.
    static std::optional<QByteArray> encode(const QList<HistoryEntry>& entries);
    // All or nothing: one entry that does not decode fails the whole array.
    static std::optional<QList<HistoryEntry>> decode(const QByteArray& json);
};

} // namespace sayloom
