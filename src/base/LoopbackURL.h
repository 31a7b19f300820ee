#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace sayloom {

// The rule for the local servers Sayloom talks to (the language model, the speech server): only http and https on
// the loopback interface, so nothing the user says leaves the machine.
class LoopbackURL {
public:
    LoopbackURL() = delete;

    // The URL when `text` is an http or https URL of a loopback host (127.0.0.0/8, ::1, localhost); nothing otherwise.
    static std::optional<QUrl> parse(const QString& text);
};

} // namespace sayloom
