#include "text/LocalLanguageModel.h"

#include "base/DetachedTask.h"
#include "base/LocalServerReply.h"
#include "base/LoopbackURL.h"

#include <QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <memory>

namespace sayloom {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Far more than any cleaned paragraph; a server that sends more is broken, and reading on would only cost memory.
// Requests without a deadline of their own (prewarming) still end if a server accepts and never answers.
constexpr std::chrono::milliseconds requestTimeout = 60s;

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
using ReplyOwner = std::unique_ptr<QNetworkReply, DeleteLater>;

QUrl endpoint(const QUrl& base, const QString& path)
{
    QUrl url = base;
    QString basePath = url.path();
    while (basePath.endsWith(u'/')) {
        basePath.chop(1);
    }
    url.setPath(basePath + path);
    return url;
}

QNetworkRequest request(const QUrl& url, std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    // A loopback server must not send us anywhere else.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(int(timeout.count()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
    return request;
}

QString failureDescription(const QNetworkReply* reply, const QByteArray& body, bool tooLarge)
{
    if (tooLarge) {
        return u"The language model's answer is too large"_s;
    }
    if (const int status = LocalServerReply::httpStatus(reply); status != 0) {
        const QString message = LocalServerReply::serverMessage(body);
        return message.isEmpty() ? u"HTTP %1"_s.arg(status) : u"HTTP %1: %2"_s.arg(status).arg(message);
    }
    return reply->errorString();
}

bool isHttpFailure(const QNetworkReply* reply)
{
    const int status = LocalServerReply::httpStatus(reply);
    return reply->error() != QNetworkReply::NoError || status < 200 || status >= 300;
}

} // namespace

struct LocalLanguageModel::Connection {
    QNetworkAccessManager manager;
    Configuration configuration;
    std::optional<QUrl> base;
    // The first model the server listed at the last successful probe.
    QString listedModel;

    QString model() const { return configuration.modelName.isEmpty() ? listedModel : configuration.modelName; }
};

namespace {

class LocalSession final : public LanguageModelSession {
public:
    LocalSession(std::shared_ptr<LocalLanguageModel::Connection> connection, QString instructions)
        : m_connection(std::move(connection))
        , m_instructions(std::move(instructions))
    {
    }

    void prewarm() override
    {
        if (!m_connection->base) {
            return;
        }
        // One token with the instructions alone makes the server evaluate and cache that prompt prefix, so the
        // first real request only pays for the transcript.
        QNetworkReply* reply = post(body(std::nullopt, GenerationOptions{0.0, 1}), requestTimeout);
        LocalServerReply::limitBody(reply, std::make_shared<bool>(false));
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    }

    QCoro::Task<QString> respond(QString prompt, GenerationOptions options, std::stop_token stop) override
    {
        // The connection must outlive the request even if the model that made this session goes away.
        const std::shared_ptr<LocalLanguageModel::Connection> connection = m_connection;
        if (!connection->base) {
            throw LanguageModelError(availabilityText(LanguageModelAvailability::notEnabled));
        }
        ReplyOwner reply(post(body(prompt, options), requestTimeout));
        auto tooLarge = std::make_shared<bool>(false);
        LocalServerReply::limitBody(reply.get(), tooLarge);
        // The stop request may come from inside another coroutine's resumption; the abort is queued so the reply
        // never finishes in the middle of that.
        const std::stop_callback abortOnStop(stop, [guarded = QPointer<QNetworkReply>(reply.get())] {
            QMetaObject::invokeMethod(guarded.data(), &QNetworkReply::abort, Qt::QueuedConnection);
        });

        co_await reply.get();

        const QByteArray answer = reply->readAll();
        if (*tooLarge || isHttpFailure(reply.get())) {
            throw LanguageModelError(failureDescription(reply.get(), answer, *tooLarge));
        }
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(answer, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            throw LanguageModelError(u"The language model's answer is not valid JSON"_s);
        }
        const QJsonArray choices = document.object().value(u"choices").toArray();
        const QJsonValue content = choices.first().toObject().value(u"message").toObject().value(u"content");
        if (choices.isEmpty() || !content.isString()) {
            throw LanguageModelError(u"The language model's answer has no text"_s);
        }
        co_return content.toString();
    }

private:
    QByteArray body(const std::optional<QString>& prompt, const GenerationOptions& options) const
    {
        QJsonArray messages{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, m_instructions}}};
        if (prompt) {
            messages.append(QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, *prompt}});
        }
        const QJsonObject object{
                {u"model"_s, m_connection->model()},
                {u"messages"_s, messages},
                {u"temperature"_s, options.temperature},
                {u"max_tokens"_s, options.maximumResponseTokens},
                {u"stream"_s, false},
        };
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    QNetworkReply* post(const QByteArray& body, std::chrono::milliseconds timeout) const
    {
        return m_connection->manager.post(request(endpoint(*m_connection->base, u"/chat/completions"_s), timeout),
                                          body);
    }

    std::shared_ptr<LocalLanguageModel::Connection> m_connection;
    QString m_instructions;
};

} // namespace

std::optional<QUrl> LocalLanguageModel::loopbackURL(const QString& text)
{
    return LoopbackURL::parse(text);
}

LocalLanguageModel::LocalLanguageModel(Configuration configuration, QObject* parent)
    : LanguageModel(parent)
    , m_connection(std::make_shared<Connection>())
    , m_availability(LanguageModelAvailability::unavailable)
{
    // Loopback only: a proxy from the environment would carry the user's words off the machine.
    m_connection->manager.setProxy(QNetworkProxy::NoProxy);
    m_connection->configuration = std::move(configuration);
    m_connection->base = loopbackURL(m_connection->configuration.url);
    if (!m_connection->base) {
        m_availability = LanguageModelAvailability::notEnabled;
    }
    connect(&m_monitor, &QTimer::timeout, this, &LocalLanguageModel::refreshAvailability);
}

LocalLanguageModel::~LocalLanguageModel() = default;

LocalLanguageModel::Configuration LocalLanguageModel::configuration() const
{
    return m_connection->configuration;
}

void LocalLanguageModel::setConfiguration(Configuration configuration)
{
    if (configuration == m_connection->configuration) {
        return;
    }
    ++m_generation;
    m_connection->configuration = std::move(configuration);
    m_connection->base = loopbackURL(m_connection->configuration.url);
    m_connection->listedModel.clear();
    setModels({});
    store(m_connection->base ? LanguageModelAvailability::unavailable : LanguageModelAvailability::notEnabled);
    refreshAvailability();
}

LanguageModelAvailability LocalLanguageModel::availability() const
{
    return m_availability.load();
}

void LocalLanguageModel::refreshAvailability()
{
    // Its result lands in availability().
    runDetached(probe(), "Probing the language model");
}

void LocalLanguageModel::startMonitoring(std::chrono::milliseconds interval)
{
    m_monitor.start(interval);
    refreshAvailability();
}

QString LocalLanguageModel::modelForRequests() const
{
    return m_connection->model();
}

std::shared_ptr<LanguageModelSession> LocalLanguageModel::makeSession(const QString& instructions)
{
    return std::make_shared<LocalSession>(m_connection, instructions);
}

void LocalLanguageModel::store(LanguageModelAvailability availability)
{
    if (m_availability.exchange(availability) != availability) {
        emit availabilityChanged();
    }
}

void LocalLanguageModel::setModels(QStringList models)
{
    if (m_models != models) {
        m_models = std::move(models);
        emit modelsChanged();
    }
}

QCoro::Task<LanguageModelAvailability> LocalLanguageModel::probe()
{
    const std::shared_ptr<Connection> connection = m_connection;
    if (!connection->base) {
        store(LanguageModelAvailability::notEnabled);
        co_return LanguageModelAvailability::notEnabled;
    }
    const quint64 generation = m_generation;
    const QPointer<LocalLanguageModel> self(this);

    QNetworkRequest get = request(endpoint(*connection->base, u"/models"_s), probeTimeout);
    ReplyOwner reply(connection->manager.get(get));
    auto tooLarge = std::make_shared<bool>(false);
    LocalServerReply::limitBody(reply.get(), tooLarge);
    co_await reply.get();

    LanguageModelAvailability result = LanguageModelAvailability::unavailable;
    QStringList models;
    const int status = LocalServerReply::httpStatus(reply.get());
    if (status == 503) {
        // llama-server answers 503 while it loads its model.
        result = LanguageModelAvailability::modelNotReady;
    } else if (!*tooLarge && !isHttpFailure(reply.get())) {
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        const QJsonValue data = document.object().value(u"data");
        if (data.isArray()) {
            for (const QJsonValue& model : data.toArray()) {
                if (const QString id = model.toObject().value(u"id").toString(); !id.isEmpty()) {
                    models.append(id);
                }
            }
            const QString wanted = connection->configuration.modelName;
            const bool ready = wanted.isEmpty() ? !models.isEmpty() : models.contains(wanted);
            result = ready ? LanguageModelAvailability::available : LanguageModelAvailability::modelNotReady;
        }
    }

    // A probe that started before the settings changed describes a server nobody asks any more.
    if (self && generation == m_generation) {
        connection->listedModel = models.value(0);
        setModels(std::move(models));
        store(result);
    }
    co_return result;
}

} // namespace sayloom
