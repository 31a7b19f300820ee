#pragma once

#include "session/ports/RunningApplication.h"

#include <QCoroTask>
#include <QString>

#include <optional>

namespace sayloom {

// Types text into the focused window by way of the clipboard and a synthetic paste. Main thread only.
class TextInserter {
public:
    virtual ~TextInserter() = default;

    // Completes once the text has been pasted and the user's clipboard put back (unless someone else wrote to it
    // meanwhile); never fails. `target` is the window the text is meant for, which picks the paste keystroke (a
    // terminal wants another one); without it the focused window decides.
    virtual QCoro::Task<void> insert(QString text, std::optional<RunningApplication> target) = 0;
};

} // namespace sayloom
