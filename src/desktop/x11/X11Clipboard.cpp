#include "desktop/x11/X11Clipboard.h"

#include "base/DetachedTask.h"
#include "desktop/x11/X11ClipboardClock.h"
#include "desktop/x11/X11Connection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace sayloom {

X11Clipboard::X11Clipboard()
    : m_clock(std::make_unique<X11ClipboardClock>())
{
}

X11Clipboard::~X11Clipboard() = default;

void X11Clipboard::setText(const QString& text)
{
    runDetached(claim(text), "Leaving text on the clipboard");
}

QCoro::Task<void> X11Clipboard::claim(QString text)
{
    co_await m_clock->freshen();
    QClipboard* const clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        qCWarning(lcX11, "No clipboard to leave the text on");
        co_return;
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
