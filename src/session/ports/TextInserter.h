#pragma once

#include <QCoroTask>
#include <QString>

namespace sayloom {

// Types text into the focused window by way of the clipboard and a synthetic paste. Main thread only.
class TextInserter {
public:
    virtual ~TextInserter() = default;

    // Completes once the text has been pasted and the user's clipboard put back (unless someone else wrote to it
    // meanwhile); never fails.
    virtual QCoro::Task<void> insert(QString text) = 0;
};

} // namespace sayloom
