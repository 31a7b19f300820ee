#include "desktop/CanberraSounds.h"

#include "desktop/DataFiles.h"
#include "desktop/DesktopLog.h"

#include <QFile>

#include <canberra.h>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A cue belongs to the moment it marks; one that would start later than this is worse than none.
constexpr auto staleAfter = 500ms;
// How long the destructor waits for the thread; past that a thread stuck on a hung server is left to itself.
constexpr auto joinWait = 250ms;

ca_context* openContext()
{
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS) {
        return nullptr;
    }
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Sayloom", CA_PROP_APPLICATION_ID, "app.sayloom.Sayloom",
                            CA_PROP_APPLICATION_ICON_NAME, "app.sayloom.Sayloom", nullptr);
    if (const int error = ca_context_open(context); error != CA_SUCCESS) {
        qCDebug(lcDesktop, "No event-sound service: %s", ca_strerror(error));
        ca_context_destroy(context);
        return nullptr;
    }
    return context;
}

} // namespace

struct CanberraSounds::Worker {
    struct Request {
        QByteArray file;
        QByteArray decibels;
        QByteArray description;
        Clock::time_point asked;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Request> pending;
    bool started = false;
    bool stopping = false;
    bool finished = false;

    // Destroying a context that has played unloads libcanberra's backend while the backend's own playback thread
    // may still be running in it, which crashes; such a context is left alone for the rest of the process. Only a
    // context that never played is destroyed.
    static void retire(ca_context* context, bool played)
    {
        if (context != nullptr && !played) {
            ca_context_destroy(context);
        }
    }

    // The thread owns the context; only `pending` and the flags cross threads.
    static void run(const std::shared_ptr<Worker>& self)
    {
        ca_context* context = nullptr;
        bool played = false;
        for (;;) {
            Request request;
            {
                std::unique_lock lock(self->mutex);
                self->changed.wait(lock, [&] { return self->stopping || self->pending.has_value(); });
                if (self->stopping) {
                    break;
                }
                request = std::move(*self->pending);
                self->pending.reset();
            }
            // Connecting is tried again for every cue, so a sound server that comes back is used from then on.
            if (context == nullptr) {
                context = openContext();
                played = false;
            }
            if (context == nullptr || Clock::now() - request.asked > staleAfter) {
                continue;
            }
            const int error =
                    ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, request.file.constData(),
                                    CA_PROP_CANBERRA_VOLUME, request.decibels.constData(), CA_PROP_EVENT_DESCRIPTION,
                                    request.description.constData(), CA_PROP_MEDIA_ROLE, "event", nullptr);
            if (error == CA_SUCCESS) {
                played = true;
            } else {
                qCDebug(lcDesktop, "Cue not played: %s", ca_strerror(error));
                // A server that went away leaves the context unusable; the next cue starts afresh.
                retire(std::exchange(context, nullptr), played);
            }
        }
        retire(context, played);
        std::lock_guard lock(self->mutex);
        self->finished = true;
        self->changed.notify_all();
    }
};

CanberraSounds::CanberraSounds(QString begin, QString end)
    : m_files{begin.isEmpty() ? DataFiles::find(QStringLiteral("cue-begin.wav")) : std::move(begin),
              end.isEmpty() ? DataFiles::find(QStringLiteral("cue-end.wav")) : std::move(end)}
    , m_worker(std::make_shared<Worker>())
{
}

CanberraSounds::~CanberraSounds()
{
    std::unique_lock lock(m_worker->mutex);
    m_worker->stopping = true;
    m_worker->changed.notify_all();
    if (m_worker->started) {
        m_worker->changed.wait_for(lock, joinWait, [this] { return m_worker->finished; });
    }
}

std::optional<QString> CanberraSounds::decibels(float volume)
{
    if (!(volume > 0.0f)) {
        return std::nullopt;
    }
    return QString::number(20.0 * std::log10(std::min(double(volume), 1.0)), 'f', 2);
}

void CanberraSounds::play(Cue cue, float volume)
{
    const QString& file = m_files[cue == Cue::begin ? 0 : 1];
    const std::optional<QString> gain = decibels(volume);
    if (file.isEmpty() || !gain) {
        return;
    }
    std::lock_guard lock(m_worker->mutex);
    m_worker->pending = Worker::Request{
            .file = QFile::encodeName(file),
            .decibels = gain->toLatin1(),
            .description =
                    cue == Cue::begin ? QByteArrayLiteral("Recording started") : QByteArrayLiteral("Recording stopped"),
            .asked = Clock::now(),
    };
    if (!m_worker->started) {
        try {
            std::thread(&Worker::run, m_worker).detach();
            m_worker->started = true;
        } catch (const std::system_error& error) {
            qCWarning(lcDesktop, "No thread for the cues: %s", error.what());
            m_worker->pending.reset();
            return;
        }
    }
    m_worker->changed.notify_all();
}

} // namespace sayloom
