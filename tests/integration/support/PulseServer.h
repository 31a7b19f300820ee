#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <thread>

namespace sayloom {

// A private PulseAudio daemon for tests and benchmarks: its own runtime, home and configuration folders in a
// temporary directory, no start-up script, anonymous access on its own socket, and no idle exit. Virtual
// microphones are pipe sources that play whatever is written into their FIFO.
//
// This process talks to it once `useInThisProcess()` has pointed PULSE_SERVER at it. Writing into a FIFO whose
// daemon died would raise SIGPIPE, so constructing a server ignores that signal for the whole process.
class PulseServer final {
public:
    struct Microphone {
        QString name;
        QString fifo;
        int module = -1;
    };

    PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;
    ~PulseServer();

    // Starts the daemon and waits (at most a few seconds) until it answers. On failure `error` says why.
    bool start(QString* error = nullptr);
    // Asks the daemon to quit, and kills it when it does not.
    void stop();
    // Kills the daemon at once, as a crash would.
    void kill();
    bool isRunning() const;

    // "unix:" and the socket path.
    QString address() const;
    void useInThisProcess() const;

    // A float32 16 kHz mono pipe source (unless told otherwise) with these extra source properties.
    std::optional<Microphone> addMicrophone(const QString& name, const QString& description,
                                            const QMap<QString, QString>& properties = {},
                                            const QString& sampleFormat = QStringLiteral("float32le"), int rate = 16000,
                                            int channels = 1);
    // A null sink, whose monitor is a source that is no microphone.
    std::optional<int> addSink(const QString& name);
    bool unloadModule(int module);
    bool setDefaultSource(const QString& name);

    // Runs pactl against this daemon; its standard output goes to `output`.
    bool pactl(const QStringList& arguments, QString* output = nullptr) const;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
};

// Writes raw samples into a microphone's FIFO. The pipe source reads only while someone records, so a write
// waits for room, but never past its deadline or a stop request.
class FifoFeeder final {
public:
    explicit FifoFeeder(const QString& fifo);
    FifoFeeder(const FifoFeeder&) = delete;
    FifoFeeder& operator=(const FifoFeeder&) = delete;
    // Stops feeding and waits for the thread.
    ~FifoFeeder();

    bool isOpen() const { return m_fd >= 0; }

    // Writes all of `samples` as fast as the daemon reads them, on this thread; false when the daemon is gone or
    // has not taken them within ten seconds.
    bool write(std::span<const float> samples);
    bool write(std::span<const std::int16_t> samples);
    // On the feeder's own thread: repeats `period` in real time, one block of `blockFrames` at a time, until
    // destruction or `stopFeeding`.
    void feedInRealTime(std::vector<float> period, int rate, int blockFrames);
    void stopFeeding();

private:
    bool writeBytes(const void* data, std::size_t size, std::stop_token stop = {});

    int m_fd = -1;
    std::jthread m_thread;
};

} // namespace sayloom
