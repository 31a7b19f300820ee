#include "desktop/x11/X11PasteClipboard.h"

#include "desktop/x11/X11ClipboardClock.h"
#include "desktop/x11/X11Connection.h"

#include <QGuiApplication>

#include <chrono>

namespace sayloom {

namespace {

// Formats that describe the clipboard rather than carry its content, or that Qt builds from the image formats.
bool isBookkeeping(const QString& format)
{
    return format == u"TARGETS" || format == u"MULTIPLE" || format == u"TIMESTAMP" || format == u"SAVE_TARGETS" ||
           format == u"application/x-qt-image";
}

// Every format with data, copied as bytes, so the copy no longer depends on the program that offered it. Nothing
// when the clipboard holds nothing. Each format is a request to the program that copied; one that does not answer
// costs Qt's clipboard timeout once, not once per format.
std::unique_ptr<QMimeData> snapshot(QClipboard& clipboard, QClipboard::Mode mode)
{
    const QMimeData* current = clipboard.mimeData(mode);
    if (!current) {
        return nullptr;
    }
    constexpr std::chrono::milliseconds patience{1000};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto copy = std::make_unique<QMimeData>();
    for (const QString& format : current->formats()) {
        if (isBookkeeping(format)) {
            continue;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            qCWarning(lcX11, "The program that owns the clipboard answers too slowly; only part of it is kept");
            break;
        }
        const QByteArray bytes = current->data(format);
        if (!bytes.isEmpty()) {
            copy->setData(format, bytes);
        }
    }
    return copy->formats().isEmpty() ? nullptr : std::move(copy);
}

// The text as plain text (UTF8_STRING and text/plain;charset=utf-8), with the transient markers.
QMimeData* transientText(const QString& text)
{
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
    for (const auto& [format, bytes] : PasteClipboard::transientMarkers()) {
        data->setData(format, bytes);
    }
    return data;
}

} // namespace

X11PasteClipboard::X11PasteClipboard(X11ClipboardClock& clock, QClipboard::Mode mode)
    : m_clock(clock)
    , m_mode(mode)
{
}

X11PasteClipboard::~X11PasteClipboard() = default;

QCoro::Task<bool> X11PasteClipboard::hold(QString text)
{
    co_await m_clock.freshen();
    QClipboard* const clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        co_return false;
    }
    m_saved = snapshot(*clipboard, m_mode);
    m_ours = transientText(text);
    clipboard->setMimeData(m_ours, m_mode);
    co_return clipboard->mimeData(m_mode) == m_ours;
}

// When the selection no longer holds our data, someone copied since, and that stays.
void X11PasteClipboard::restore()
{
    QClipboard* const clipboard = QGuiApplication::clipboard();
    std::unique_ptr<QMimeData> saved = std::move(m_saved);
    if (!clipboard || !m_ours || clipboard->mimeData(m_mode) != m_ours) {
        return;
    }
    m_ours.clear();
    if (saved) {
        clipboard->setMimeData(saved.release(), m_mode);
    } else {
        clipboard->clear(m_mode);
    }
}

} // namespace sayloom
