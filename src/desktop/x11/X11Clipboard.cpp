#include "desktop/x11/X11Clipboard.h"

#include "desktop/x11/X11Connection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace sayloom {

void X11Clipboard::setText(const QString& text)
{
    QClipboard* const clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        qCWarning(lcX11, "No clipboard to leave the text on");
        return;
    }
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
    clipboard->setMimeData(data, QClipboard::Clipboard);
    if (clipboard->mimeData(QClipboard::Clipboard) != data) {
        qCWarning(lcX11, "Could not take the clipboard; the text is only in the history");
    }
}

} // namespace sayloom
