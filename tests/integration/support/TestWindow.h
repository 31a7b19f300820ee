#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace sayloom {

// The window program of TestWindowMain.cpp: a focused text field to type and paste into, which reports what it gets
// and works the clipboard as any other program would.
class TestWindow final {
public:
    // Starts it with `windowClass` as its WM_CLASS class, on the display `environment` names, and waits until it is up.
    explicit TestWindow(const QString& windowClass = QStringLiteral("SayloomTestWindow"),
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    qint64 pid() const { return m_process.pid(); }
    ChildProcess& output() { return m_process; }

    // The text of its field as last reported.
    QString text() const;
    // Each key it got but modifiers, in order: "Ctrl+V".
    QStringList keys() const { return reports(QStringLiteral("key")); }

    // Puts `text` (and a PNG beside it when `withImage`) on the clipboard as this program's own.
    bool copy(const QString& text, bool withImage = false);
    // The clipboard (or PRIMARY) as this program sees it, format → data; empty when it does not answer.
    QMap<QString, QByteArray> clipboard(bool primary = false);

private:
    // What it reported of one kind ("key", "text"), in order, without the kind.
    QStringList reports(const QString& kind) const;

    ChildProcess m_process;
};

} // namespace sayloom
