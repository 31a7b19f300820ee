#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace sayloom {

class XServer;

// The window program of TestWindowMain.cpp on a private X server: a focused text field to type and paste into, which
// reports what it gets and works the clipboard as any other program would.
class TestWindow final {
public:
    // Starts it with `windowClass` as its WM_CLASS class and waits until it is up; its pid is 0 when it does not come.
    explicit TestWindow(const XServer& server, const QString& windowClass = QStringLiteral("SayloomTestWindow"));

    qint64 pid() const { return m_pid; }
    ChildProcess& output() { return m_process; }

    // The text of its field as last reported.
    QString text() const;
    // Each key it got but modifiers, in order: "Ctrl+V".
    QStringList keys() const;

    // Puts `text` (and a PNG beside it when `withImage`) on the clipboard as this program's own.
    bool copy(const QString& text, bool withImage = false);
    // The clipboard (or PRIMARY) as this program sees it, format → data; empty when it does not answer.
    QMap<QString, QByteArray> clipboard(bool primary = false);

private:
    ChildProcess m_process;
    qint64 m_pid = 0;
};

} // namespace sayloom
