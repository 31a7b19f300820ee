#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <span>
#include <stop_token>
#include <thread>

namespace sayloom {

// A private PulseAudio daemon for tests and benchmarks: its own runtime, home and configuration folder, no
// start-up script, anonymous access on its own socket, no idle exit. Virtual microphones are pipe sources that
// play whatever is written into their FIFO. Constructing one ignores SIGPIPE for the whole process, so writing
// into the FIFO of a daemon that died fails instead of killing the process.
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
    ~PulseServer() { stop(); }

    // Starts the daemon and waits (at most a few seconds) until it answers; on failure `error` says why. After
    // `stop` it starts again on the same socket, with no devices, as a restarted sound server would.
    bool start(QString* error = nullptr);
    // Asks the daemon to quit, and kills it when it does not.
    void stop();
    // Stops the daemon's process without ending it: its socket still takes connections, but nothing answers.
    void freeze();

    // Points PULSE_SERVER at this daemon.
    void useInThisProcess() const;
    // The value PULSE_SERVER takes for this daemon, for programs started with an environment of their own.
    QString address() const;

    // A 16 kHz mono float32 pipe source with these extra source properties.
    std::optional<Microphone> addMicrophone(const QString& name, const QString& description,
                                            const QMap<QString, QString>& properties = {});
    bool setDefaultSource(const QString& name);

    // Runs pactl against this daemon; its standard output goes to `output`.
    bool pactl(const QStringList& arguments, QString* output = nullptr) const;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
};

// Writes samples into a microphone's FIFO. The pipe source reads only while someone records, so a write waits for
// room, but never past ten seconds or a stop request.
class FifoFeeder final {
public:
    explicit FifoFeeder(const QString& fifo);
    FifoFeeder(const FifoFeeder&) = delete;
    FifoFeeder& operator=(const FifoFeeder&) = delete;
    ~FifoFeeder();

    // All of `samples`, on this thread; false when the daemon is gone or does not take them in time.
    bool write(std::span<const float> samples, std::stop_token stop = {});
    // The same at the pace a microphone delivers them, `blockFrames` at a time.
    bool writeInRealTime(std::span<const float> samples, int rate, int blockFrames, std::stop_token stop = {});
    // Bytes written that the pipe source has not read yet.
    std::size_t unread() const;
    // On the feeder's own thread until destruction: repeats `period` in real time, `blockFrames` at a time.
    void feedInRealTime(std::vector<float> period, int rate, int blockFrames);

private:
    int m_fd = -1;
    std::jthread m_thread;
};

} // namespace sayloom
