#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace sayloom::test {

// A small OpenAI-compatible server on a loopback port, running on its own thread so that both an in-process client
// and a child process can talk to it. Each chat request takes the next scripted reply; with none left it echoes the
// transcript of the prompt back. Requests without a user message (prewarming) get a one-token answer and never
// take a scripted reply. Transcription requests (/audio/transcriptions, and whisper.cpp's /inference) take the next
// scripted transcription reply; with none left they answer "Hello from the server.". Everything received is
// recorded.
class ScriptedHttpServer {
public:
    struct Reply {
        // A silent server accepts the request and never answers; a reset one resets the connection instead of
        // answering; an enormous answer has a body of 8 MiB.
        enum class Kind { normal, silent, reset, enormous };
        int status = 200;
        QByteArray body;
        std::chrono::milliseconds delay{0};
        Kind kind = Kind::normal;
        QByteArray contentType = "application/json";
        // More header lines, each ending in \r\n, such as a redirect's Location.
        QByteArray headers{};
    };

    // One part of a multipart form.
    struct FormField {
        QByteArray name;
        QByteArray fileName;
        QByteArray contentType;
        QByteArray body;
    };

    struct Request {
        QByteArray method;
        QByteArray path;
        QByteArray body;
        // Header names in lower case.
        QList<std::pair<QByteArray, QByteArray>> headers;

        QByteArray header(const QByteArray& name) const;
        // The parts of a multipart/form-data body, in order; empty for another body.
        QList<FormField> form() const;
        QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
        // The content of the message with this role, or a null string.
        QString message(const QString& role) const;
        bool isPrewarm() const { return message(QStringLiteral("user")).isNull(); }
    };

    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    QString baseURL() const { return QStringLiteral("http://127.0.0.1:%1/v1").arg(m_port); }

    // A chat answer whose message content is `content`.
    static Reply answer(const QString& content, std::chrono::milliseconds delay = {});
    static Reply status(int status, const QByteArray& body = {}) { return Reply{status, body}; }
    static Reply kind(Reply::Kind kind) { return Reply{200, {}, {}, kind}; }

    // The reply to GET /v1/models; by default a list naming "test-model".
    void setModelsReply(Reply reply);
    static Reply modelList(const QStringList& models);
    // The reply to GET /health; by default 200.
    void setHealthReply(Reply reply);
    // Transcription replies, taken in order.
    void enqueueTranscriptions(const QList<Reply>& replies);
    static Reply transcription(const QString& text)
    {
        return Reply{200, QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}).toJson(QJsonDocument::Compact)};
    }
    // Chat replies, taken in order.
    void enqueue(const QList<Reply>& replies);
    void enqueue(const Reply& reply) { enqueue(QList<Reply>{reply}); }

    // Chat requests that carry a transcript, and those that prewarm, in the order received.
    QList<Request> chatRequests() const { return chatCompletions(false); }
    QList<Request> prewarmRequests() const { return chatCompletions(true); }
    // Every request whose path ends in `pathEnd`, in the order received.
    QList<Request> requests(const QByteArray& pathEnd) const
    {
        return matching([&](const Request& request) { return request.path.endsWith(pathEnd); });
    }
    // Connections the client closed (or aborted) so far.
    int closedConnections() const;

    struct State;

private:
    QList<Request> matching(const std::function<bool(const Request&)>& wanted) const;
    QList<Request> chatCompletions(bool prewarm) const
    {
        return matching([&](const Request& request) {
            return request.path.endsWith("/chat/completions") && request.isPrewarm() == prewarm;
        });
    }

    std::unique_ptr<State> m_state;
    quint16 m_port = 0;
};

} // namespace sayloom::test
