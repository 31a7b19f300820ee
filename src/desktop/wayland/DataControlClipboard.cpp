#include "desktop/wayland/DataControlClipboard.h"

#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandLog.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QCoroTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <wayland-client.h>

namespace sayloom {

namespace {

constexpr std::chrono::seconds writePatience{60};

// Types that describe the clipboard rather than carry its content (XWayland passes some on).
bool isBookkeeping(const QByteArray& type)
{
    return type == "TARGETS" || type == "MULTIPLE" || type == "TIMESTAMP" || type == "SAVE_TARGETS";
}

DataControlClipboard::Content plainText(const QString& text, bool transient)
{
    const QByteArray bytes = text.toUtf8();
    DataControlClipboard::Content content;
    for (const char* type : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT", "STRING"}) {
        content.append({QByteArray(type), bytes});
    }
    if (transient) {
        for (const auto& [type, data] : PasteClipboard::transientMarkers()) {
            content.append({type.toUtf8(), data});
        }
    }
    return content;
}

// A write into a pipe whose reader left fails with EPIPE instead of killing the process with SIGPIPE, without
// touching how the rest of the program handles the signal.
ssize_t writeQuietly(int fd, const char* data, std::size_t size)
{
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE) {
        const timespec now{};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

// Reads one type of another program's clipboard from its pipe as the bytes come, until the program closes it.
class PipeReader final : public QObject {
public:
    PipeReader(int fd, std::function<void()> onEnd)
        : m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
        , m_onEnd(std::move(onEnd))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeReader::read);
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    ~PipeReader() override { ::close(m_fd); }

    bool isComplete() const { return m_complete; }
    const QByteArray& bytes() const { return m_bytes; }

private:
    void read()
    {
        char buffer[65536];
        for (;;) {
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count > 0) {
                m_bytes.append(buffer, count);
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && errno == EAGAIN) {
                return;
            }
            // The end, or an error: either way nothing more comes.
            m_complete = count == 0;
            m_notifier.setEnabled(false);
            return m_onEnd();
        }
    }

    int m_fd;
    QSocketNotifier m_notifier;
    std::function<void()> m_onEnd;
    QByteArray m_bytes;
    bool m_complete = false;
};

// Writes our content into a reader's pipe as it makes room, however big the content, then closes it.
class PipeWriter final : public QObject {
public:
    PipeWriter(int fd, QByteArray data, QObject* parent)
        : QObject(parent)
        , m_fd(fd)
        , m_data(std::move(data))
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        if (write()) {
            // A reader that stops reading would keep the descriptor and the bytes forever.
            QTimer::singleShot(writePatience, this, &QObject::deleteLater);
            m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
            connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
                if (!write()) {
                    m_notifier->setEnabled(false);
                    deleteLater();
                }
            });
        } else {
            deleteLater();
        }
    }
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;
    ~PipeWriter() override { ::close(m_fd); }

private:
    // True while there is more to write and the reader is still there.
    bool write()
    {
        while (m_written < m_data.size()) {
            const ssize_t count =
                    writeQuietly(m_fd, m_data.constData() + m_written, std::size_t(m_data.size() - m_written));
            if (count > 0) {
                m_written += count;
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else {
                return count < 0 && errno == EAGAIN;
            }
        }
        return false;
    }

    int m_fd;
    QByteArray m_data;
    qsizetype m_written = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace

// The types another program offers, as the compositor lists them.
struct DataControlClipboard::Offer {
    zwlr_data_control_offer_v1* proxy;
    QList<QByteArray> types;
};

// Content of ours on the clipboard, with the protocol object that stands for it.
struct DataControlClipboard::Source {
    DataControlClipboard* owner;
    zwlr_data_control_source_v1* proxy;
    Content content;
};

struct DataControlClipboard::Listeners {
    static void dataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
    {
        zwlr_data_control_offer_v1_add_listener(proxy, &offerListener, new Offer{proxy, {}});
    }

    static void offered(void* data, zwlr_data_control_offer_v1*, const char* type)
    {
        static_cast<Offer*>(data)->types.append(QByteArray(type));
    }

    static void dropOffer(zwlr_data_control_offer_v1* proxy)
    {
        if (proxy) {
            delete static_cast<Offer*>(zwlr_data_control_offer_v1_get_user_data(proxy));
            zwlr_data_control_offer_v1_destroy(proxy);
        }
    }

    static void follow(DataControlClipboard* self, Selection which, zwlr_data_control_offer_v1* proxy)
    {
        if (which != self->m_which) {
            return dropOffer(proxy);
        }
        if (self->m_selection) {
            dropOffer(self->m_selection->proxy);
        }
        self->m_selection = proxy ? static_cast<Offer*>(zwlr_data_control_offer_v1_get_user_data(proxy)) : nullptr;
    }

    static void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
    {
        follow(static_cast<DataControlClipboard*>(data), Selection::clipboard, proxy);
    }

    static void primarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy)
    {
        follow(static_cast<DataControlClipboard*>(data), Selection::primary, proxy);
    }

    static void finished(void* data, zwlr_data_control_device_v1* device)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        qCWarning(lcWayland, "The compositor stopped serving the clipboard");
        follow(self, self->m_which, nullptr);
        zwlr_data_control_device_v1_destroy(device);
        self->m_device = nullptr;
    }

    static void send(void* data, zwlr_data_control_source_v1*, const char* type, std::int32_t fd)
    {
        auto* source = static_cast<Source*>(data);
        const auto found = std::find_if(source->content.cbegin(), source->content.cend(),
                                        [type](const auto& entry) { return entry.first == type; });
        if (found == source->content.cend()) {
            ::close(fd);
            return;
        }
        source->owner->serve(found->second, fd);
    }

    static void cancelled(void* data, zwlr_data_control_source_v1*)
    {
        auto* source = static_cast<Source*>(data);
        source->owner->forget(source);
    }

    static constexpr zwlr_data_control_device_v1_listener deviceListener{dataOffer, selection, finished,
                                                                         primarySelection};
    static constexpr zwlr_data_control_offer_v1_listener offerListener{offered};
    static constexpr zwlr_data_control_source_v1_listener sourceListener{send, cancelled};
};

DataControlClipboard::DataControlClipboard(WaylandConnection& connection, Selection selection)
    : m_connection(connection)
    , m_which(selection)
{
    if (!m_connection.hasDataControl() || (selection == Selection::primary && m_connection.dataControlVersion() < 2)) {
        return;
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_connection.dataControl(), m_connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &Listeners::deviceListener, this);
    m_connection.flush();
}

DataControlClipboard::~DataControlClipboard()
{
    if (m_selection) {
        Listeners::dropOffer(m_selection->proxy);
    }
    for (const std::unique_ptr<Source>& source : m_sources) {
        zwlr_data_control_source_v1_destroy(source->proxy);
    }
    if (m_device) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    m_connection.flush();
}

bool DataControlClipboard::isAvailable() const
{
    return m_device && m_connection.isUsable();
}

void DataControlClipboard::serve(const QByteArray& data, int fd)
{
    new PipeWriter(fd, data, this);
}

void DataControlClipboard::forget(Source* source)
{
    if (m_held == source) {
        m_held = nullptr;
    }
    zwlr_data_control_source_v1_destroy(source->proxy);
    std::erase_if(m_sources, [source](const std::unique_ptr<Source>& kept) { return kept.get() == source; });
}

DataControlClipboard::Source* DataControlClipboard::claim(Content content)
{
    if (content.isEmpty()) {
        setSelection(nullptr);
        return nullptr;
    }
    auto source = std::make_unique<Source>(Source{
            this, zwlr_data_control_manager_v1_create_data_source(m_connection.dataControl()), std::move(content)});
    for (const auto& [type, data] : source->content) {
        zwlr_data_control_source_v1_offer(source->proxy, type.constData());
    }
    zwlr_data_control_source_v1_add_listener(source->proxy, &Listeners::sourceListener, source.get());
    setSelection(source.get());
    return m_sources.emplace_back(std::move(source)).get();
}

void DataControlClipboard::setSelection(Source* source)
{
    zwlr_data_control_source_v1* const proxy = source ? source->proxy : nullptr;
    if (m_which == Selection::primary) {
        zwlr_data_control_device_v1_set_primary_selection(m_device, proxy);
    } else {
        zwlr_data_control_device_v1_set_selection(m_device, proxy);
    }
    m_connection.flush();
}

QCoro::Task<DataControlClipboard::Content> DataControlClipboard::copyOut()
{
    Content content;
    if (!m_selection) {
        co_return content;
    }
    // One pipe per type, all asked for at once, so one slow type does not hold up the others.
    QTimer done;
    done.setSingleShot(true);
    std::vector<std::pair<QByteArray, std::unique_ptr<PipeReader>>> readers;
    int open = 0;
    for (const QByteArray& type : m_selection->types) {
        int fds[2];
        if (isBookkeeping(type) || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            continue;
        }
        zwlr_data_control_offer_v1_receive(m_selection->proxy, type.constData(), fds[1]);
        // The request carries a duplicate of the writing end.
        ::close(fds[1]);
        ++open;
        readers.emplace_back(type, std::make_unique<PipeReader>(fds[0], [&open, &done] {
                                 if (--open == 0) {
                                     done.start(0);
                                 }
                             }));
    }
    if (readers.empty() || !m_connection.flush()) {
        co_return content;
    }
    done.start(copyPatience);
    co_await done;
    for (const auto& [type, reader] : readers) {
        if (reader->isComplete()) {
            content.append({type, reader->bytes()});
        }
    }
    if (open > 0) {
        qCWarning(lcWayland, "The program that owns the clipboard answers too slowly; only part of it is kept");
    }
    co_return content;
}

QCoro::Task<bool> DataControlClipboard::hold(QString text)
{
    if (!isAvailable()) {
        co_return false;
    }
    // Whatever was copied before this call has reached us.
    co_await m_connection.sync();
    Content saved = co_await copyOut();
    if (!isAvailable()) {
        co_return false;
    }
    m_saved = std::move(saved);
    m_held = claim(plainText(text, true));
    co_return m_connection.isUsable();
}

// While the transient source is the selection, nobody has copied since; once cancelled, someone has, and that stays.
void DataControlClipboard::restore()
{
    std::optional<Content> saved = std::exchange(m_saved, std::nullopt);
    // A copy made a moment ago may still wait in the socket.
    m_connection.dispatch();
    if (!m_held || !saved || !isAvailable()) {
        return;
    }
    m_held = nullptr;
    claim(std::move(*saved));
}

void DataControlClipboard::setText(const QString& text)
{
    if (!isAvailable()) {
        qCWarning(lcWayland, "No clipboard to leave the text on");
        return;
    }
    claim(plainText(text, false));
}

} // namespace sayloom
