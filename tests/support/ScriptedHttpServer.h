#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace sayloom::test {

// A small OpenAI-compatible chat-completions server on a loopback port, running on its own thread so that both an
// in-process client and a child process can talk to it. Each chat request takes the next scripted reply; with
// none left it echoes the transcript of the prompt back. Requests without a user message (prewarming) get a
// one-token answer and never take a scripted reply. Everything received is recorded.
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
    };

    struct Request {
        QByteArray method;
        QByteArray path;
        QByteArray body;

        QJsonObject json() const;
        // The content of the message with this role, or a null string.
        QString message(const QString& role) const;
        bool isPrewarm() const { return message(QStringLiteral("user")).isNull(); }
    };

    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    // http://127.0.0.1:PORT/v1
    QString baseURL() const;

    // A chat answer whose message content is `content`.
    static Reply answer(const QString& content, std::chrono::milliseconds delay = {});
    static Reply status(int status, const QByteArray& body = {});
    static Reply kind(Reply::Kind kind);

    // The reply to GET /v1/models; by default a list naming "test-model".
    void setModelsReply(Reply reply);
    static Reply modelList(const QStringList& models);
    // Chat replies, taken in order.
    void enqueue(const QList<Reply>& replies);
    void enqueue(const Reply& reply) { enqueue(QList<Reply>{reply}); }

    // Chat requests that carry a transcript, and those that prewarm, in the order received.
    QList<Request> chatRequests() const { return chatCompletions(false); }
    QList<Request> prewarmRequests() const { return chatCompletions(true); }

    struct State;

private:
    QList<Request> chatCompletions(bool prewarm) const;

    std::unique_ptr<State> m_state;
};

} // namespace sayloom::test
