#include "PulseServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int answerMilliseconds = 5000;

// One argument of a module: `key='value'` with the value's own quotes escaped, so descriptions with spaces
// survive the daemon's argument parser.
QString quotedProperties(const QMap<QString, QString>& properties)
{
    QStringList pairs;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        pairs << it.key() + u"=\"" + QString(it.value()).replace(u'"', QStringLiteral("\\\"")) + u'"';
    }
    return pairs.join(u' ');
}

} // namespace

PulseServer::PulseServer()
    : m_folder(QDir::tempPath() + u"/sayloom-pulse-XXXXXX")
{
    std::signal(SIGPIPE, SIG_IGN);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.setStandardOutputFile(QProcess::nullDevice());
}

PulseServer::~PulseServer()
{
    stop();
}

QString PulseServer::address() const
{
    return u"unix:" + m_folder.path() + u"/native";
}

void PulseServer::useInThisProcess() const
{
    qputenv("PULSE_SERVER", address().toUtf8());
}

bool PulseServer::start(QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    if (!m_folder.isValid()) {
        return fail(QStringLiteral("no temporary folder"));
    }
    const QString root = m_folder.path();
    for (const char16_t* folder : {u"/run", u"/home", u"/config", u"/state"}) {
        QDir().mkpath(root + folder);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + u"/run");
    environment.insert(QStringLiteral("PULSE_RUNTIME_PATH"), root + u"/run/pulse");
    environment.insert(QStringLiteral("PULSE_STATE_PATH"), root + u"/state");
    environment.insert(QStringLiteral("HOME"), root + u"/home");
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + u"/config");
    // Keep it away from the desktop session's bus and display.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("PULSE_SERVER"));
    m_daemon.setProcessEnvironment(environment);
    // The daemon dies with this process, even when a crash or a timeout kills it before `stop`.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // -n skips the default start-up script, so only the modules named here load. As root the daemon warns that
    // it is meant for a user session, then runs normally.
    m_daemon.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--disable-shm=yes"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("--system=no"), QStringLiteral("--high-priority=no"),
                    QStringLiteral("--realtime=no"), QStringLiteral("--log-target=stderr"),
                    QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                    u"module-native-protocol-unix auth-anonymous=1 socket=" + root + u"/native"});
    if (!m_daemon.waitForStarted(answerMilliseconds)) {
        return fail(u"pulseaudio did not start: " + m_daemon.errorString());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(answerMilliseconds);
    while (Clock::now() < deadline) {
        if (m_daemon.state() != QProcess::Running) {
            return fail(QStringLiteral("pulseaudio exited during start-up"));
        }
        if (QFileInfo::exists(root + u"/native") && pactl({QStringLiteral("info")})) {
            return true;
        }
        QThread::msleep(20);
    }
    stop();
    return fail(QStringLiteral("pulseaudio did not answer in time"));
}

void PulseServer::stop()
{
    if (m_daemon.state() == QProcess::NotRunning) {
        return;
    }
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

void PulseServer::kill()
{
    if (m_daemon.state() == QProcess::NotRunning) {
        return;
    }
    m_daemon.kill();
    m_daemon.waitForFinished(3000);
}

bool PulseServer::isRunning() const
{
    return m_daemon.state() == QProcess::Running;
}

bool PulseServer::pactl(const QStringList& arguments, QString* output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), address());
    environment.insert(QStringLiteral("HOME"), m_folder.path() + u"/home");
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.path() + u"/config");
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(answerMilliseconds)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output) {
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::optional<PulseServer::Microphone> PulseServer::addMicrophone(const QString& name, const QString& description,
                                                                  const QMap<QString, QString>& properties,
                                                                  const QString& sampleFormat, int rate, int channels)
{
    QMap<QString, QString> all = properties;
    all.insert(QStringLiteral("device.description"), description);
    const QString fifo = m_folder.path() + u'/' + name + u".fifo";
    QString index;
    const bool loaded =
            pactl({QStringLiteral("load-module"), QStringLiteral("module-pipe-source"), u"source_name=" + name,
                   u"file=" + fifo, u"format=" + sampleFormat, u"rate=" + QString::number(rate),
                   u"channels=" + QString::number(channels), u"source_properties='" + quotedProperties(all) + u"'"},
                  &index);
    if (!loaded) {
        return std::nullopt;
    }
    return Microphone{name, fifo, index.toInt()};
}

std::optional<int> PulseServer::addSink(const QString& name)
{
    QString index;
    if (!pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"), u"sink_name=" + name}, &index)) {
        return std::nullopt;
    }
    return index.toInt();
}

bool PulseServer::unloadModule(int module)
{
    return pactl({QStringLiteral("unload-module"), QString::number(module)});
}

bool PulseServer::setDefaultSource(const QString& name)
{
    return pactl({QStringLiteral("set-default-source"), name});
}

FifoFeeder::FifoFeeder(const QString& fifo)
    // The pipe source keeps its end open for reading, so this open never waits.
    : m_fd(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK))
{
}

FifoFeeder::~FifoFeeder()
{
    stopFeeding();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FifoFeeder::writeBytes(const void* data, std::size_t size, std::stop_token stop)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (stop.stop_requested() || Clock::now() >= deadline) {
            return false;
        }
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written > 0) {
            bytes += written;
            size -= std::size_t(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd room{m_fd, POLLOUT, 0};
        ::poll(&room, 1, 20);
    }
    return true;
}

bool FifoFeeder::write(std::span<const float> samples)
{
    return m_fd >= 0 && writeBytes(samples.data(), samples.size_bytes());
}

bool FifoFeeder::write(std::span<const std::int16_t> samples)
{
    return m_fd >= 0 && writeBytes(samples.data(), samples.size_bytes());
}

void FifoFeeder::feedInRealTime(std::vector<float> period, int rate, int blockFrames)
{
    stopFeeding();
    if (m_fd < 0 || period.empty() || rate <= 0 || blockFrames <= 0) {
        return;
    }
    m_thread = std::jthread([this, period = std::move(period), rate, blockFrames](std::stop_token stop) {
        const auto blockDuration = std::chrono::nanoseconds(std::int64_t(blockFrames) * 1'000'000'000 / rate);
        std::vector<float> block(static_cast<std::size_t>(blockFrames));
        std::size_t position = 0;
        auto due = Clock::now();
        while (!stop.stop_requested()) {
            for (float& sample : block) {
                sample = period[position];
                position = (position + 1) % period.size();
            }
            if (!writeBytes(block.data(), block.size() * sizeof(float), stop)) {
                return;
            }
            due += blockDuration;
            std::this_thread::sleep_until(due);
        }
    });
}

void FifoFeeder::stopFeeding()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

} // namespace sayloom
