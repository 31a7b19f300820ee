#pragma once

#include "dictionary/DictionaryEntry.h"
#include "history/HistoryEntry.h"

#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

namespace sayloom {

class AppState;
enum class Appearance;

// Renders the screens, filled with fixed sample data, to PNG files in light and dark, so the look can be
// reviewed without clicking through the application. Needs a QApplication (the offscreen platform will do) and
// touches no device, hotkey or file of the user's.
class Snapshot {
public:
    struct Page {
        QString name;
        // In logical pixels; the image is twice as large.
        QSize size;
        std::function<QWidget*()> make;
    };

    Snapshot() = delete;

    // Writes "<name>-light.png" and "<name>-dark.png" for every page into `folder`, creating it as needed and
    // replacing files of those names; a page that cannot be drawn or written is skipped. Prints the folder's path
    // and returns the exit status, 0.
    static int run(const QString& folder);
    // The drawing and writing of run(), without the printed line; returns the folder's absolute path.
    static QString render(const QString& folder);

    // The two sample dictations, as of `now`: one with two corrections, one plain.
    static QList<HistoryEntry> sampleHistory(const QDateTime& now);
    // Three sample entries: a word, a sound correction and a risky one.
    static QList<DictionaryEntry> sampleDictionary();
    // A column of sample cards: the sample dictations as history rows, then the sample entries as dictionary rows
    // with their warnings among themselves.
    static QWidget* sampleRows(const QDateTime& now);
    // The pill in its four looks (listening, hands-free, working, a message) over a colourful ground.
    static QWidget* samplePills();
};

} // namespace sayloom
