#pragma once

#include <QString>

namespace sayloom {

// The desktop's clipboard, for text the session leaves there. Main thread only.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Replaces whatever is on the clipboard with `text` as plain text.
    virtual void setText(const QString& text) = 0;
};

} // namespace sayloom
