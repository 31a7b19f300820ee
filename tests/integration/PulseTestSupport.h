#pragma once

#include "AudioInputDevice.h"
#include "PulseServer.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sayloom {

inline void PrintTo(const AudioInputDevice& device, std::ostream* out)
{
    *out << '{' << device.id << ", " << device.uid.toStdString() << ", \"" << device.name.toStdString() << "\", '"
         << Transport::text(device.transport).toStdString() << "'}";
}

// Starts a private daemon and points this process at it; fails the test when it cannot.
inline void startServer(PulseServer& server)
{
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    server.useInThisProcess();
}

// A socket that takes connections and never says a word: a sound server that hangs. Pointed at it, this
// process's clients must give up on their own.
class SilentServer final {
public:
    SilentServer()
    {
        const QByteArray path = QFile::encodeName(m_folder.path() + u"/native");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (!m_folder.isValid() || std::size_t(path.size()) >= sizeof(address.sun_path)) {
            return;
        }
        std::copy(path.begin(), path.end(), address.sun_path);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) < 0 ||
            ::listen(m_fd, 16) < 0) {
            return;
        }
        qputenv("PULSE_SERVER", "unix:" + path);
        m_listening = true;
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    ~SilentServer()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    bool isListening() const { return m_listening; }

private:
    QTemporaryDir m_folder;
    int m_fd = -1;
    bool m_listening = false;
};

} // namespace sayloom
