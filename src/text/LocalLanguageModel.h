#pragma once

#include "text/LanguageModel.h"

#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <optional>

namespace sayloom {

// The language model on this computer: a local server that speaks the OpenAI-compatible chat-completions protocol
// (llama.cpp's llama-server, Ollama and others). Only servers on the loopback interface are used, so nothing the
// user says ever leaves the machine.
//
// Availability is the last answer of a background probe of the server's model list, so reading it never blocks.
// Everything but availability() belongs to the thread the object lives in.
class LocalLanguageModel final : public LanguageModel {
    Q_OBJECT

public:
    struct Configuration {
        // The server's base URL, such as http://127.0.0.1:8080/v1; empty means not set up.
        QString url;
        // The model to ask; empty means the first one the server lists.
        QString modelName;

        friend bool operator==(const Configuration&, const Configuration&) = default;
    };

    static constexpr std::chrono::milliseconds probeTimeout{1000};
    static constexpr std::chrono::milliseconds monitorInterval{30000};

    // The base URL when it is an http or https URL of a loopback host (127.0.0.0/8, ::1, localhost); nothing
    // otherwise, which counts as not set up.
    static std::optional<QUrl> loopbackURL(const QString& text);

    explicit LocalLanguageModel(Configuration configuration = {}, QObject* parent = nullptr);
    ~LocalLanguageModel() override;

    Configuration configuration() const;
    // Takes new settings and probes the server again when they changed.
    void setConfiguration(Configuration configuration);

    LanguageModelAvailability availability() const override;
    // Starts a probe in the background.
    void refreshAvailability() override;
    // Probes the server once and completes with its answer, which availability() then also reports.
    QCoro::Task<LanguageModelAvailability> probe();
    // Probes now and then every `interval` while the object lives.
    void startMonitoring(std::chrono::milliseconds interval = monitorInterval);

    // The model that requests name: the configured one, or the first the server listed at the last probe.
    QString modelForRequests() const;
    // Every model the server listed at the last probe, in its order; empty before the first answer and after a
    // probe that got none.
    const QStringList& models() const { return m_models; }

    std::shared_ptr<LanguageModelSession> makeSession(const QString& instructions) override;

    // What the model shares with its sessions; defined in the source file.
    struct Connection;

signals:
    void modelsChanged();

private:
    void store(LanguageModelAvailability availability);
    void setModels(QStringList models);

    std::shared_ptr<Connection> m_connection;
    std::atomic<LanguageModelAvailability> m_availability;
    quint64 m_generation = 0;
    QTimer m_monitor;
    QStringList m_models;
};

} // namespace sayloom
