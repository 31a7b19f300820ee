#pragma once

#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryEntry.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace sayloom {

// The built-in check of the corrector and the lint against a fixed test dictionary. Prints one line per failing
// case and a summary line; never touches the user's dictionary.
class DictionarySelfTest {
public:
    DictionarySelfTest() = delete;

    // What the self-test exercises, replaceable so the checking itself can be tested.
    struct Subject {
        std::function<DictionaryCorrector::Result(const QString&)> correct;
        std::function<QStringList(const DictionaryEntry&)> lint;
    };

    // The real corrector over the test dictionary, and the lint with the system word list.
    static Subject standardSubject();
    static QList<DictionaryEntry> testDictionary();

    // Runs against the standard subject and prints to standard output. True when every case passed.
    static bool run();
    static bool run(const Subject& subject, const std::function<void(const QString&)>& printLine);
};

} // namespace sayloom
