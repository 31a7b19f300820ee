#include "ScriptedHttpServer.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <future>
#include <sys/socket.h>

namespace sayloom::test {

using namespace Qt::StringLiterals;

struct ScriptedHttpServer::State {
    mutable QMutex mutex;
    Reply modelsReply = modelList({u"test-model"_s});
    QList<Reply> chatReplies;
    Reply healthReply = status(200, R"({"status":"ok"})");
    QList<Reply> transcriptionReplies;
    QList<Request> requests;
    std::atomic<int> closedConnections = 0;
    std::unique_ptr<QThread> thread;

    Reply replyFor(const Request& request)
    {
        const QMutexLocker lock(&mutex);
        requests.append(request);
        if (request.path.endsWith("/models")) {
            return modelsReply;
        }
        if (request.path.endsWith("/health")) {
            return healthReply;
        }
        if (request.path.endsWith("/audio/transcriptions") || request.path.endsWith("/inference")) {
            return transcriptionReplies.isEmpty() ? transcription(u"Hello from the server."_s)
                                                  : transcriptionReplies.takeFirst();
        }
        if (!request.path.endsWith("/chat/completions")) {
            return ScriptedHttpServer::status(404, R"({"error":{"message":"not found"}})");
        }
        if (request.isPrewarm()) {
            return answer(u"Ok"_s);
        }
        if (!chatReplies.isEmpty()) {
            return chatReplies.takeFirst();
        }
        const QString prompt = request.message(u"user"_s);
        return answer(prompt.section(u"<transcript>"_s, 1).section(u"</transcript>"_s, 0, 0));
    }
};

namespace {

void send(QTcpSocket* socket, const ScriptedHttpServer::Reply& reply)
{
    using Kind = ScriptedHttpServer::Reply::Kind;
    if (reply.kind == Kind::silent) {
        return;
    }
    if (reply.kind == Kind::reset) {
        // A zero linger time makes the close a reset rather than an orderly end.
        const linger immediately{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
        socket->abort();
        return;
    }
    const QByteArray body = reply.kind == Kind::enormous ? QByteArray(8 << 20, 'x') : reply.body;
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\nContent-Type: " + reply.contentType +
                  "\r\n" + reply.headers + "Content-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: keep-alive\r\n\r\n" + body);
}

// Reads requests off one connection, one after another.
void serve(QTcpSocket* socket, ScriptedHttpServer::State* state)
{
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, state, buffer] {
        buffer->append(socket->readAll());
        for (qsizetype headerEnd; (headerEnd = buffer->indexOf("\r\n\r\n")) >= 0;) {
            const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
            qsizetype length = 0;
            QList<std::pair<QByteArray, QByteArray>> headers;
            for (const QByteArray& line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
                if (headers.last().first == "content-length") {
                    length = headers.last().second.toLongLong();
                }
            }
            if (buffer->size() < headerEnd + 4 + length) {
                return;
            }
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            const ScriptedHttpServer::Reply reply = state->replyFor(
                    {requestLine.value(0), requestLine.value(1), buffer->mid(headerEnd + 4, length), headers});
            buffer->remove(0, headerEnd + 4 + length);
            QTimer::singleShot(reply.delay, socket, [socket, reply] { send(socket, reply); });
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, state] {
        ++state->closedConnections;
        socket->deleteLater();
    });
}

} // namespace

QByteArray ScriptedHttpServer::Request::header(const QByteArray& name) const
{
    const auto found = std::find_if(headers.begin(), headers.end(), [&](auto& h) { return h.first == name.toLower(); });
    return found == headers.end() ? QByteArray() : found->second;
}

QList<ScriptedHttpServer::FormField> ScriptedHttpServer::Request::form() const
{
    const QByteArray type = header("content-type");
    const qsizetype at = type.indexOf("boundary=");
    if (!type.startsWith("multipart/form-data") || at < 0) {
        return {};
    }
    static const QRegularExpression name(uR"re(\bname="([^"]*)")re"_s), file(uR"re(\bfilename="([^"]*)")re"_s),
            content(u"content-type:\\s*(\\S+)"_s, QRegularExpression::CaseInsensitiveOption);
    // Latin-1 keeps each byte as one character, so the text splits where the bytes do.
    const QString boundary = u"\r\n--"_s + QString::fromLatin1(type.mid(at + 9).replace('"', ""));
    QList<FormField> fields;
    for (const QString& part : QString(u"\r\n"_s + QString::fromLatin1(body)).split(boundary).mid(1)) {
        // The last piece is the closing "--".
        if (const qsizetype headersEnd = part.indexOf(u"\r\n\r\n"_s); headersEnd >= 0) {
            const QString lines = part.left(headersEnd);
            fields.append({name.match(lines).captured(1).toLatin1(), file.match(lines).captured(1).toLatin1(),
                           content.match(lines).captured(1).toLatin1(), part.mid(headersEnd + 4).toLatin1()});
        }
    }
    return fields;
}

QString ScriptedHttpServer::Request::message(const QString& role) const
{
    const QJsonArray messages = json().value(u"messages").toArray();
    const auto found = std::find_if(messages.begin(), messages.end(),
                                    [&](const QJsonValue& message) { return message[u"role"] == role; });
    return found == messages.end() ? QString() : (*found)[u"content"].toString();
}

ScriptedHttpServer::ScriptedHttpServer()
    : m_state(std::make_unique<State>())
{
    std::promise<quint16> listening;
    m_state->thread.reset(QThread::create([state = m_state.get(), &listening] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, state] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                serve(socket, state);
            }
        });
        listening.set_value(server.serverPort());
        QEventLoop().exec();
    }));
    m_state->thread->start();
    m_port = listening.get_future().get();
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_state->thread->quit();
    m_state->thread->wait();
}

ScriptedHttpServer::Reply ScriptedHttpServer::answer(const QString& content, std::chrono::milliseconds delay)
{
    const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, content}};
    const QJsonObject choice{{u"index"_s, 0}, {u"message"_s, message}, {u"finish_reason"_s, u"stop"_s}};
    const QJsonObject body{{u"object"_s, u"chat.completion"_s}, {u"choices"_s, QJsonArray{choice}}};
    return Reply{200, QJsonDocument(body).toJson(QJsonDocument::Compact), delay};
}

ScriptedHttpServer::Reply ScriptedHttpServer::modelList(const QStringList& models)
{
    QJsonArray data;
    for (const QString& model : models) {
        data.append(QJsonObject{{u"id"_s, model}, {u"object"_s, u"model"_s}});
    }
    return Reply{200, QJsonDocument(QJsonObject{{u"object"_s, u"list"_s}, {u"data"_s, data}}).toJson()};
}

void ScriptedHttpServer::setModelsReply(Reply reply)
{
    const QMutexLocker lock(&m_state->mutex);
    m_state->modelsReply = std::move(reply);
}

void ScriptedHttpServer::setHealthReply(Reply reply)
{
    const QMutexLocker lock(&m_state->mutex);
    m_state->healthReply = std::move(reply);
}

void ScriptedHttpServer::enqueueTranscriptions(const QList<Reply>& replies)
{
    const QMutexLocker lock(&m_state->mutex);
    m_state->transcriptionReplies.append(replies);
}

int ScriptedHttpServer::closedConnections() const
{
    return m_state->closedConnections;
}

void ScriptedHttpServer::enqueue(const QList<Reply>& replies)
{
    const QMutexLocker lock(&m_state->mutex);
    m_state->chatReplies.append(replies);
}

QList<ScriptedHttpServer::Request> ScriptedHttpServer::matching(const std::function<bool(const Request&)>& wanted) const
{
    const QMutexLocker lock(&m_state->mutex);
    QList<Request> result;
    std::copy_if(m_state->requests.begin(), m_state->requests.end(), std::back_inserter(result), wanted);
    return result;
}

} // namespace sayloom::test
