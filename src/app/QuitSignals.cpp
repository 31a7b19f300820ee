#include "app/QuitSignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sayloom {

namespace {

// [0] is read by the event loop, [1] written by the handler.
std::array<int, 2> pipeEnds{-1, -1};
constexpr std::array handledSignals{SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    const auto byte = static_cast<unsigned char>(signal);
    // Nothing can be done about a full pipe here; a quit is already pending then.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds.data()) != 0) {
        qWarning("Can't watch for quit signals; SIGTERM will end Sayloom abruptly");
        return;
    }
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipeEnds[0], &byte, 1) == 1) {
            emit quitRequested(byte);
        }
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals) {
        sigaction(signal, &action, nullptr);
    }
}

QuitSignals::~QuitSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (const int signal : handledSignals) {
        sigaction(signal, &action, nullptr);
    }
    delete m_notifier;
    for (int& end : pipeEnds) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

} // namespace sayloom
