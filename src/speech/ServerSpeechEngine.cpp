#include "speech/ServerSpeechEngine.h"

#include "base/DetachedTask.h"
#include "base/LocalServerReply.h"
#include "base/LoopbackURL.h"
#include "base/Timeout.h"
#include "speech/SpeechLog.h"
#include "speech/SpeechServerProtocol.h"
#include "speech/TakeRecording.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QPromise>

#include <algorithm>

namespace sayloom {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using ServerState = ServerSpeechEngine::ServerState;

struct ServerSpeechEngine::Connection {
    QNetworkAccessManager manager;
    Configuration configuration;
    // The first model the server listed at the last check.
    QString listedModel;
    // Stops the copying of every take when the engine goes away.
    std::stop_source shutdown;

    QString model() const { return configuration.model.isEmpty() ? listedModel : configuration.model; }
};

namespace {

// A transcript is a few kilobytes; a server that sends more is broken, and reading on would only cost memory.

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
using ReplyOwner = std::unique_ptr<QNetworkReply, DeleteLater>;

// Why the server gave no transcript, and what that says about it.
struct ServerFailure {
    ServerState state;
    QString description;
};

// What the fallback recogniser made of a take.
struct FallbackOutcome {
    QString text;
    std::optional<QString> failure;
};

QNetworkRequest serverRequest(const QUrl& url, std::chrono::milliseconds timeout, const QString& apiKey)
{
    QNetworkRequest request(url);
    // A loopback server must not send us anywhere else.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(int(timeout.count()));
    if (!apiKey.isEmpty()) {
        request.setRawHeader("Authorization", "Bearer " + apiKey.toUtf8());
    }
    return request;
}

// What an unsuccessful reply says about the server.
ServerFailure failureOf(const QNetworkReply* reply, const QByteArray& body, bool tooLarge)
{
    if (tooLarge) {
        return {ServerState::failing, u"The answer is too large"_s};
    }
    if (const int status = LocalServerReply::httpStatus(reply); status != 0) {
        const QString message = LocalServerReply::serverMessage(body);
        const QString description =
                message.isEmpty() ? u"HTTP %1"_s.arg(status) : u"HTTP %1: %2"_s.arg(status).arg(message);
        // whisper.cpp and speaches answer 503 while they load their model.
        return {status == 503 ? ServerState::loading : ServerState::failing, description};
    }
    if (reply->error() == QNetworkReply::ConnectionRefusedError) {
        return {ServerState::notRunning, reply->errorString()};
    }
    return {ServerState::failing, reply->errorString()};
}

bool succeeded(const QNetworkReply* reply)
{
    const int status = LocalServerReply::httpStatus(reply);
    return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
}

struct ProbeAnswer {
    bool ok = false;
    QByteArray body;
    ServerFailure failure{ServerState::failing, QString()};
};

QCoro::Task<ProbeAnswer> ask(std::shared_ptr<ServerSpeechEngine::Connection> connection, QUrl url, QString apiKey)
{
    ReplyOwner reply(connection->manager.get(serverRequest(url, ServerSpeechEngine::probeTimeout, apiKey)));
    auto tooLarge = std::make_shared<bool>(false);
    LocalServerReply::limitBody(reply.get(), tooLarge);
    co_await reply.get();
    ProbeAnswer answer;
    answer.body = reply->isOpen() ? reply->readAll() : QByteArray();
    answer.ok = !*tooLarge && succeeded(reply.get());
    if (!answer.ok) {
        answer.failure = failureOf(reply.get(), answer.body, *tooLarge);
    }
    co_return answer;
}

void addField(QHttpMultiPart* form, const QByteArray& name, const QByteArray& value)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, QByteArray("form-data; name=\"" + name + "\""));
    part.setBody(value);
    form->append(part);
}

struct TakeRequest {
    QUrl url;
    QString apiKey;
    QString model;
    QString language;
    std::optional<QString> prompt;
    QByteArray wav;
    std::chrono::milliseconds deadline;
};

// Sends one take and completes with its transcript, or throws ServerFailure. A stop request aborts the request.
QCoro::Task<QString> sendTake(std::shared_ptr<ServerSpeechEngine::Connection> connection, TakeRequest take,
                              std::stop_token stop)
{
    auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QByteArrayLiteral("form-data; name=\"file\"; filename=\"take.wav\""));
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
    file.setBody(take.wav);
    form->append(file);
    if (!take.model.isEmpty()) {
        addField(form, "model", take.model.toUtf8());
    }
    addField(form, "response_format", "json");
    addField(form, "temperature", "0");
    if (!take.language.isEmpty()) {
        addField(form, "language", take.language.toUtf8());
    }
    if (take.prompt) {
        addField(form, "prompt", take.prompt->toUtf8());
    }

    // The deadline itself is kept by the caller; the transfer timeout is a coarse timer that may fire early, so it is
    // only a backstop here.
    ReplyOwner reply(connection->manager.post(serverRequest(take.url, take.deadline + 5s, take.apiKey), form));
    form->setParent(reply.get());
    auto tooLarge = std::make_shared<bool>(false);
    LocalServerReply::limitBody(reply.get(), tooLarge);
    // The stop request comes from the deadline's timer; the abort is queued so the reply never finishes inside it.
    const std::stop_callback abortOnStop(stop, [guarded = QPointer<QNetworkReply>(reply.get())] {
        QMetaObject::invokeMethod(guarded.data(), &QNetworkReply::abort, Qt::QueuedConnection);
    });

    co_await reply.get();

    // An aborted reply is closed and has nothing to read.
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    if (*tooLarge || !succeeded(reply.get())) {
        throw failureOf(reply.get(), body, *tooLarge);
    }
    const std::optional<QString> text =
            SpeechServerProtocol::transcript(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
    if (!text) {
        throw ServerFailure{ServerState::failing, u"The answer is not a transcript"_s};
    }
    co_return *text;
}

QCoro::Task<> runFallback(QCoro::Task<QString> transcribing, QPromise<FallbackOutcome> promise)
{
    FallbackOutcome outcome;
    try {
        outcome.text = co_await std::move(transcribing);
    } catch (const TranscriptionError& error) {
        outcome.failure = error.description();
    } catch (const std::exception& error) {
        outcome.failure = QString::fromUtf8(error.what());
    }
    promise.addResult(std::move(outcome));
    promise.finish();
}

QCoro::Task<QString> fallbackText(QFuture<FallbackOutcome> future)
{
    const FallbackOutcome outcome = co_await future;
    if (outcome.failure) {
        throw TranscriptionError(*outcome.failure);
    }
    co_return outcome.text;
}

bool isFailing(ServerState state)
{
    return state == ServerState::loading || state == ServerState::notRunning || state == ServerState::failing;
}

} // namespace

ServerSpeechEngine::ServerSpeechEngine(TranscriptionEngine& fallback, QObject* parent)
    : ServerSpeechEngine(fallback, Configuration{}, parent)
{
}

ServerSpeechEngine::ServerSpeechEngine(TranscriptionEngine& fallback, Configuration configuration, QObject* parent)
    : QObject(parent)
    , m_fallback(fallback)
    , m_connection(std::make_shared<Connection>())
{
    // Loopback only: a proxy from the environment would carry the user's words off the machine.
    m_connection->manager.setProxy(QNetworkProxy::NoProxy);
    m_connection->configuration = std::move(configuration);
    if (m_connection->configuration.useServer) {
        m_serverState =
                LoopbackURL::parse(m_connection->configuration.url) ? ServerState::unknown : ServerState::notSetUp;
    }
    connect(&m_monitor, &QTimer::timeout, this, [this] {
        if (m_connection->configuration.useServer) {
            runDetached(probe(), "Checking the speech server");
        }
    });
}

ServerSpeechEngine::~ServerSpeechEngine()
{
    m_connection->shutdown.request_stop();
}

const ServerSpeechEngine::Configuration& ServerSpeechEngine::configuration() const
{
    return m_connection->configuration;
}

void ServerSpeechEngine::setConfiguration(Configuration configuration)
{
    if (configuration == m_connection->configuration) {
        return;
    }
    ++m_generation;
    m_connection->configuration = std::move(configuration);
    m_connection->listedModel.clear();
    m_failureLogged = false;
    m_lastFailure = {};
    setModels({});
    if (!m_connection->configuration.useServer) {
        setServerState(ServerState::notUsed);
    } else {
        setServerState(LoopbackURL::parse(m_connection->configuration.url) ? ServerState::unknown
                                                                           : ServerState::notSetUp);
        runDetached(probe(), "Checking the speech server");
    }
}

QString ServerSpeechEngine::name() const
{
    return m_connection->configuration.useServer ? u"Speech server"_s : m_fallback.name();
}

QString ServerSpeechEngine::serverStatus() const
{
    const QString fallingBack = u" \u2014 using "_s + m_fallback.name();
    switch (m_serverState) {
    case ServerState::notUsed:
        return QString();
    case ServerState::notSetUp:
        return u"Enter the speech server's address"_s + fallingBack;
    case ServerState::unknown:
        return u"Checking the speech server\u2026"_s;
    case ServerState::ready:
        return u"Speech server ready"_s;
    case ServerState::loading:
        return u"Speech server is still loading"_s + fallingBack;
    case ServerState::notRunning:
    case ServerState::failing:
        break;
    }
    return u"Speech server unavailable"_s + fallingBack;
}

QString ServerSpeechEngine::modelForRequests() const
{
    return m_connection->model();
}

std::chrono::milliseconds ServerSpeechEngine::deadline(std::chrono::milliseconds takeLength)
{
    return std::min<std::chrono::milliseconds>(3s + takeLength, 15s);
}

void ServerSpeechEngine::startMonitoring(std::chrono::milliseconds interval)
{
    m_monitor.start(interval);
    if (m_connection->configuration.useServer) {
        runDetached(probe(), "Checking the speech server");
    }
}

QCoro::Task<void> ServerSpeechEngine::prepare()
{
    // Both at once: the model load takes a moment, the check at most its timeout.
    QCoro::Task<void> preparing = m_fallback.prepare();
    if (m_connection->configuration.useServer) {
        QCoro::Task<ServerState> checking = probe();
        co_await checking;
    }
    co_await preparing;
}

QCoro::Task<ServerState> ServerSpeechEngine::probe()
{
    const std::shared_ptr<Connection> connection = m_connection;
    const Configuration configuration = connection->configuration;
    if (!configuration.useServer) {
        co_return ServerState::notUsed;
    }
    const std::optional<QUrl> base = LoopbackURL::parse(configuration.url);
    if (!base) {
        setServerState(ServerState::notSetUp);
        co_return ServerState::notSetUp;
    }
    const quint64 generation = m_generation;
    const QPointer<ServerSpeechEngine> self(this);

    QStringList models;
    QCoro::Task<ProbeAnswer> asking =
            ask(connection, SpeechServerProtocol::serviceURL(*base, u"/models"_s), configuration.apiKey);
    ProbeAnswer answer = co_await asking;
    if (answer.ok) {
        const QJsonValue data = QJsonDocument::fromJson(answer.body).object().value(u"data");
        for (const QJsonValue& model : data.toArray()) {
            if (const QString id = model.toObject().value(u"id").toString(); !id.isEmpty()) {
                models.append(id);
            }
        }
        answer.ok = data.isArray();
    }
    // whisper.cpp lists no models; its health check tells whether it is up.
    if (!answer.ok && answer.failure.state == ServerState::failing) {
        QCoro::Task<ProbeAnswer> health =
                ask(connection, SpeechServerProtocol::serviceURL(*base, u"/health"_s), configuration.apiKey);
        answer = co_await health;
    }

    if (!self || generation != m_generation) {
        // The settings changed meanwhile; this answer is about a server nobody asks any more.
        co_return answer.ok ? ServerState::ready : answer.failure.state;
    }
    connection->listedModel = models.value(0);
    setModels(std::move(models));
    if (answer.ok) {
        noteSuccess();
        co_return ServerState::ready;
    }
    noteFailure(answer.failure.state, answer.failure.description);
    co_return answer.failure.state;
}

QCoro::Task<QString> ServerSpeechEngine::transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                                    PartialHandler onPartial, std::stop_token stop)
{
    if (!m_connection->configuration.useServer) {
        m_lastTakeSource = m_fallback.name();
        QCoro::Task<QString> transcribing =
                m_fallback.transcribe(std::move(audio), format, std::move(vocabulary), std::move(onPartial), stop);
        co_return co_await transcribing;
    }
    QCoro::Task<QString> transcribing =
            transcribeWithServer(std::move(audio), format, std::move(vocabulary), std::move(onPartial), stop);
    co_return co_await transcribing;
}

bool ServerSpeechEngine::mayTryServer() const
{
    if (m_serverState == ServerState::ready || m_serverState == ServerState::unknown) {
        return true;
    }
    return isFailing(m_serverState) && std::chrono::steady_clock::now() - m_lastFailure >= retryInterval;
}

QCoro::Task<QString> ServerSpeechEngine::transcribeWithServer(AudioStream audio, AudioFormat format,
                                                              QStringList vocabulary, PartialHandler onPartial,
                                                              std::stop_token stop)
{
    const QPointer<ServerSpeechEngine> self(this);
    const std::shared_ptr<Connection> connection = m_connection;
    const Configuration configuration = connection->configuration;
    const quint64 generation = m_generation;
    const QString fallbackName = m_fallback.name();
    if (m_serverState == ServerState::unknown && modelForRequests().isEmpty()) {
        // Which model to name is known by the time the take ends.
        runDetached(probe(), "Checking the speech server");
    }

    // The fallback decodes alongside from its own copy of the audio; it stops early when the server's answer
    // makes its words unnecessary, or when the caller stops the take.
    auto fallbackStop = std::make_shared<std::stop_source>();
    const std::stop_callback callerStop(stop, [fallbackStop] { fallbackStop->request_stop(); });
    auto [recorded, forwarded] = TakeRecording::start(std::move(audio), stop, connection->shutdown.get_token());
    QPromise<FallbackOutcome> promise;
    QFuture<FallbackOutcome> fallback = promise.future();
    promise.start();
    runDetached(runFallback(m_fallback.transcribe(std::move(forwarded), format, vocabulary, std::move(onPartial),
                                                  fallbackStop->get_token()),
                            std::move(promise)),
                "The fallback recogniser's take");

    const TakeRecording::Result take = co_await recorded;
    const std::optional<QUrl> base = LoopbackURL::parse(configuration.url);
    const std::chrono::milliseconds length = TakeRecording::duration(take.samples);
    const bool current = self && generation == m_generation;

    std::optional<QString> skipped;
    if (take.stopped || stop.stop_requested() || take.chunkCount == 0) {
        skipped = QString();
    } else if (!base) {
        skipped = u"no address on this computer"_s;
    } else if (take.failure) {
        skipped = *take.failure;
    } else if (length < shortestTake || TakeRecording::isSilent(take.samples)) {
        skipped = u"silent or too short to send"_s;
    } else if (!current || !mayTryServer()) {
        skipped = u"unavailable"_s;
    }
    if (skipped) {
        if (current) {
            m_lastTakeSource =
                    skipped->isEmpty() ? fallbackName : fallbackName + u" (speech server: "_s + *skipped + u')';
        }
        QCoro::Task<QString> falling = fallbackText(fallback);
        co_return co_await falling;
    }

    TakeRequest request{SpeechServerProtocol::transcriptionURL(*base),
                        configuration.apiKey,
                        connection->model(),
                        configuration.language,
                        SpeechServerProtocol::glossaryPrompt(vocabulary),
                        SpeechServerProtocol::wav(take.samples, TakeRecording::sampleRate),
                        deadline(length)};
    const QString model = request.model;
    const std::chrono::milliseconds limit = request.deadline;
    std::optional<QString> text;
    ServerFailure failure{ServerState::failing, u"No answer within %1 s"_s.arg(limit.count() / 1000.0)};
    try {
        QCoro::Task<std::optional<QString>> answering =
                withTimeout(limit, [connection, request = std::move(request)](std::stop_token token) {
                    return sendTake(connection, request, std::move(token));
                });
        text = co_await answering;
    } catch (const ServerFailure& thrown) {
        failure = thrown;
    }

    const bool stillCurrent = self && generation == m_generation;
    if (text) {
        fallbackStop->request_stop();
        if (stillCurrent) {
            noteSuccess();
            m_lastTakeSource = model.isEmpty() ? name() : name() + u" ("_s + model + u')';
        }
        co_return *text;
    }
    if (stillCurrent) {
        noteFailure(failure.state, failure.description);
        m_lastTakeSource = fallbackName + u" (speech server: "_s + failure.description + u')';
    }
    QCoro::Task<QString> falling = fallbackText(fallback);
    co_return co_await falling;
}

void ServerSpeechEngine::noteFailure(ServerState state, const QString& description)
{
    m_lastFailure = std::chrono::steady_clock::now();
    setServerState(state);
    // Once per outage: a server that stays down would otherwise write a line for every take and every check.
    if (!m_failureLogged) {
        m_failureLogged = true;
        qCWarning(lcSpeech, "Speech server unavailable, using %s: %s", qUtf8Printable(m_fallback.name()),
                  qUtf8Printable(description));
    }
}

void ServerSpeechEngine::noteSuccess()
{
    m_failureLogged = false;
    setServerState(ServerState::ready);
}

void ServerSpeechEngine::setServerState(ServerState state)
{
    if (m_serverState != state) {
        m_serverState = state;
        emit serverStateChanged();
    }
}

void ServerSpeechEngine::setModels(QStringList models)
{
    if (m_models != models) {
        m_models = std::move(models);
        emit modelsChanged();
    }
}

} // namespace sayloom
