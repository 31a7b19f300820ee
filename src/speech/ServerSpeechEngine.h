#pragma once

#include "speech/TranscriptionEngine.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>

namespace sayloom {

// A speech-recognition server on this computer that speaks the OpenAI-compatible transcription protocol
// (whisper.cpp's whisper-server, speaches, LocalAI, vLLM), with the on-device recogniser beside it.
//
// The engine follows its configuration at run time. Without the server it is the fallback recogniser itself: its
// name, its preparation, its takes. With the server, the fallback still decodes every take as it is recorded, so
// live words keep coming; when the audio ends the take goes to the server in one request, and its answer is the
// transcript. When the server is not running, fails, or misses the deadline, the fallback's words are used, and
// the server is left alone for a while before it is tried again. Silent and very short takes are never sent: these
// servers make up text for silence.
//
// Only loopback servers are used (checked again before every request), redirects are not followed and proxies are
// ignored, so nothing the user says leaves the machine. Main thread only, apart from the partial-text callback,
// which the fallback calls from its own thread.
class ServerSpeechEngine final : public QObject, public TranscriptionEngine {
    Q_OBJECT
    Q_PROPERTY(sayloom::ServerSpeechEngine::ServerState serverState READ serverState NOTIFY serverStateChanged)

public:
    struct Configuration {
        bool useServer = false;
        // The server's base address, such as http://127.0.0.1:8080/v1, or its transcription endpoint.
        QString url;
        // Empty: the first model the server lists.
        QString model;
        // Empty: the server detects the language.
        QString language;
        // Sent as a bearer token when not empty.
        QString apiKey;

        friend bool operator==(const Configuration&, const Configuration&) = default;
    };

    enum class ServerState {
        // The fallback recogniser is the engine.
        notUsed,
        // The server is chosen but its address is empty or not on this computer.
        notSetUp,
        // Not asked yet.
        unknown,
        ready,
        // It answered that it is still loading its model.
        loading,
        // Nothing listens at the address.
        notRunning,
        // It answered with an error, or not in time.
        failing,
    };
    Q_ENUM(ServerState)

    static constexpr std::chrono::milliseconds probeTimeout{1500};
    // After a failure the server is not tried again, by a take or a check, for this long.
    static constexpr std::chrono::milliseconds retryInterval{30000};
    static constexpr std::chrono::milliseconds shortestTake{300};

    // `fallback` must outlive the engine, which starts without the server.
    explicit ServerSpeechEngine(TranscriptionEngine& fallback, QObject* parent = nullptr);
    ServerSpeechEngine(TranscriptionEngine& fallback, Configuration configuration, QObject* parent = nullptr);
    ~ServerSpeechEngine() override;
    ServerSpeechEngine(const ServerSpeechEngine&) = delete;
    ServerSpeechEngine& operator=(const ServerSpeechEngine&) = delete;

    const Configuration& configuration() const;
    // Takes new settings; the server is checked again when they changed.
    void setConfiguration(Configuration configuration);

    // "Speech server", or the fallback's name when the server is not used.
    QString name() const override;
    // Prepares the fallback (its failure propagates) and, with the server, checks it; a server that is down is
    // not a failure, since takes fall back.
    QCoro::Task<void> prepare() override;
    QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                    PartialHandler onPartial, std::stop_token stop = {}) override;

    ServerState serverState() const { return m_serverState; }
    // The server's state in words for the settings, such as "Speech server unavailable — using PocketSphinx";
    // empty when the server is not used.
    QString serverStatus() const;

    // Asks the server (its model list, else its health) and completes with what it found; serverState() then
    // reports it too.
    QCoro::Task<ServerState> probe();
    // Checks the server now and then every `interval` while it is used.
    void startMonitoring(std::chrono::milliseconds interval = retryInterval);

    // The configured model, or the first one the server listed at the last check.
    QString modelForRequests() const;
    // Every model the server listed at the last check.
    const QStringList& models() const { return m_models; }
    // Which recogniser gave the last take's words, and why not the server when it was meant to: "Speech server
    // (whisper-1)", "PocketSphinx", "PocketSphinx (speech server: Connection refused)".
    const QString& lastTakeSource() const { return m_lastTakeSource; }

    // How long the server has to answer a take of this length: 3 s more than the take, at most 15 s.
    static std::chrono::milliseconds deadline(std::chrono::milliseconds takeLength);

    struct Connection;

signals:
    void serverStateChanged();
    void modelsChanged();

private:
    QCoro::Task<QString> transcribeWithServer(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                              PartialHandler onPartial, std::stop_token stop);
    bool mayTryServer() const;
    void noteFailure(ServerState state, const QString& description);
    void noteSuccess();
    void setServerState(ServerState state);
    void setModels(QStringList models);

    TranscriptionEngine& m_fallback;
    std::shared_ptr<Connection> m_connection;
    ServerState m_serverState = ServerState::notUsed;
    quint64 m_generation = 0;
    QStringList m_models;
    QString m_lastTakeSource;
    bool m_failureLogged = false;
    std::chrono::steady_clock::time_point m_lastFailure;
    QTimer m_monitor;
};

} // namespace sayloom
