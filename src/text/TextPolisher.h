#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

namespace sayloom {

// What a polisher may know about the dictation it cleans up.
struct PolishContext {
    // The application that will receive the text, when known.
    std::optional<QString> bundleIdentifier;
    // Phrases the output must spell exactly: the user's dictionary phrases.
    QStringList terms;

    friend bool operator==(const PolishContext&, const PolishContext&) = default;
};

// Turns a spoken transcript into typed text.
class TextPolisher {
public:
    virtual ~TextPolisher() = default;

    // A hint that polish() follows soon; never fails.
    virtual void prewarm() = 0;
    // Completes exactly once with the cleaned text, possibly empty; never fails.
    virtual QCoro::Task<QString> polish(QString text, PolishContext context) = 0;
};

// Spoken "new paragraph" and "new line" become two line feeds and one, swallowing the commas, periods and white
// space around them.
QString applyingSpokenLayout(const QString& text);

// The last step of every cleanup: spoken layout, sentence capitals on plain lower-case words, and white space
// trimmed from both ends. No punctuation is added.
QString finalizedDictation(const QString& text);

} // namespace sayloom
