#include "PulseServer.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int answerMilliseconds = 5000;

// Runtime, home and configuration all in `root`, so neither the daemon nor pactl sees the user's session.
QProcessEnvironment privateEnvironment(const QString& root)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "PULSE_STATE_PATH"}) {
        environment.insert(QString::fromLatin1(name), root);
    }
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "PULSE_SERVER"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

} // namespace

PulseServer::PulseServer()
    : m_folder(QDir::tempPath() + u"/sayloom-pulse-XXXXXX")
{
    std::signal(SIGPIPE, SIG_IGN);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.setStandardOutputFile(QProcess::nullDevice());
}

void PulseServer::useInThisProcess() const
{
    qputenv("PULSE_SERVER", QFile::encodeName(address()));
}

QString PulseServer::address() const
{
    return u"unix:" + m_folder.path() + u"/native";
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
    m_daemon.setProcessEnvironment(privateEnvironment(m_folder.path()));
    // The daemon dies with this process, even when a crash or a timeout ends it before `stop`, and even frozen.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // -n skips the default start-up script, so only the modules named here load.
    QStringList arguments = QStringLiteral("-n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --use-pid-file=no "
                                           "--system=no --high-priority=no --realtime=no --log-target=stderr "
                                           "--log-level=error -L")
                                    .split(u' ');
    arguments << u"module-native-protocol-unix auth-anonymous=1 socket=" + m_folder.path() + u"/native";
    m_daemon.start(QStringLiteral("pulseaudio"), arguments);
    if (!m_daemon.waitForStarted(answerMilliseconds)) {
        return fail(u"pulseaudio did not start: " + m_daemon.errorString());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(answerMilliseconds);
    while (Clock::now() < deadline && m_daemon.state() == QProcess::Running) {
        if (pactl({QStringLiteral("info")})) {
            return true;
        }
        QThread::msleep(20);
    }
    stop();
    return fail(QStringLiteral("pulseaudio did not answer in time"));
}

void PulseServer::stop()
{
    if (m_daemon.state() == QProcess::Running) {
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
        m_daemon.terminate();
        if (m_daemon.waitForFinished(3000)) {
            return;
        }
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

void PulseServer::freeze()
{
    if (m_daemon.state() == QProcess::Running) {
        ::kill(pid_t(m_daemon.processId()), SIGSTOP);
    }
}

bool PulseServer::pactl(const QStringList& arguments, QString* output) const
{
    QProcess process;
    QProcessEnvironment environment = privateEnvironment(m_folder.path());
    environment.insert(QStringLiteral("PULSE_SERVER"), address());
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
                                                                  const QMap<QString, QString>& properties)
{
    // Each property as key="value", so descriptions with spaces survive the daemon's argument parser.
    QStringList pairs{u"device.description=\"" + description + u'"'};
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        pairs << it.key() + u"=\"" + it.value() + u'"';
    }
    const QString fifo = m_folder.path() + u'/' + name + u".fifo";
    QString index;
    if (!pactl({QStringLiteral("load-module"), QStringLiteral("module-pipe-source"), u"source_name=" + name,
                u"file=" + fifo, QStringLiteral("format=float32le"), QStringLiteral("rate=16000"),
                QStringLiteral("channels=1"), u"source_properties='" + pairs.join(u' ') + u"'"},
               &index)) {
        return std::nullopt;
    }
    return Microphone{name, fifo, index.toInt()};
}

bool PulseServer::setDefaultSource(const QString& name)
{
    return pactl({QStringLiteral("set-default-source"), name});
}

// The pipe source keeps its end open for reading, so this open never waits.
FifoFeeder::FifoFeeder(const QString& fifo)
    : m_fd(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK))
{
}

FifoFeeder::~FifoFeeder()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FifoFeeder::write(std::span<const float> samples, std::stop_token stop)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    const auto* bytes = reinterpret_cast<const char*>(samples.data());
    std::size_t size = samples.size_bytes();
    while (m_fd >= 0 && size > 0 && !stop.stop_requested() && Clock::now() < deadline) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written > 0) {
            bytes += written;
            size -= std::size_t(written);
        } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd room{m_fd, POLLOUT, 0};
            ::poll(&room, 1, 20);
        }
    }
    return m_fd >= 0 && size == 0;
}

bool FifoFeeder::writeInRealTime(std::span<const float> samples, int rate, int blockFrames, std::stop_token stop)
{
    const auto block = std::chrono::nanoseconds(std::int64_t(blockFrames) * 1'000'000'000 / rate);
    auto due = Clock::now();
    for (std::size_t from = 0; from < samples.size(); from += std::size_t(blockFrames)) {
        if (!write(samples.subspan(from, std::min(samples.size() - from, std::size_t(blockFrames))), stop)) {
            return false;
        }
        due += block;
        std::this_thread::sleep_until(due);
    }
    return true;
}

std::size_t FifoFeeder::unread() const
{
    // On Linux a pipe answers FIONREAD at either end.
    int bytes = 0;
    return m_fd >= 0 && ::ioctl(m_fd, FIONREAD, &bytes) == 0 ? std::size_t(bytes) : 0;
}

void FifoFeeder::feedInRealTime(std::vector<float> period, int rate, int blockFrames)
{
    m_thread = std::jthread([this, period = std::move(period), rate, blockFrames](std::stop_token stop) {
        std::vector<float> block(static_cast<std::size_t>(blockFrames));
        std::size_t position = 0;
        for (auto due = Clock::now(); !stop.stop_requested(); std::this_thread::sleep_until(due)) {
            for (float& sample : block) {
                sample = period[position++ % period.size()];
            }
            if (!write(block, stop)) {
                return;
            }
            due += std::chrono::nanoseconds(std::int64_t(blockFrames) * 1'000'000'000 / rate);
        }
    });
}

} // namespace sayloom
