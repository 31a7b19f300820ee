#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QString>

#include <utility>

namespace sayloom {

// The clipboard as pasting uses it: the text goes there for one paste, and afterwards the user's own content comes
// back. Main thread only; one paste at a time.
class PasteClipboard {
public:
    virtual ~PasteClipboard() = default;

    // Copies out every format the clipboard holds (as bytes, so the copy outlives the program that offered it), then
    // puts `text` there as plain text with the transient markers. False when the clipboard could not be taken:
    // pasting then would paste whatever was there before.
    virtual QCoro::Task<bool> hold(QString text) = 0;
    // Puts the copy back, or leaves the clipboard empty when it was, if the clipboard still holds the text of the
    // last hold; a copy someone made meanwhile stays.
    virtual void restore() = 0;

    // The formats besides plain text that mark the text as not worth keeping, for clipboard managers of both
    // conventions, with their data.
    static QList<std::pair<QString, QByteArray>> transientMarkers()
    {
        return {{QStringLiteral("org.nspasteboard.TransientType"), QByteArray()},
                {QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")}};
    }
};

} // namespace sayloom
