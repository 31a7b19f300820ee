#include "support/Printers.h"
#include "support/ScriptedHttpServer.h"
#include "text/AIPolisher.h"
#include "text/LocalLanguageModel.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>
#include <mutex>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;

// Collects what the polisher logs in its own category.
class PolishLog {
public:
    PolishLog() { s_instance = this, m_previous = qInstallMessageHandler(&PolishLog::handle); }
    ~PolishLog() { qInstallMessageHandler(m_previous), s_instance = nullptr; }

    QStringList lines() const
    {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (s_instance && qstrcmp(context.category, "app.sayloom.polish") == 0) {
            const std::lock_guard lock(s_instance->m_mutex);
            s_instance->m_lines.append((type == QtCriticalMsg ? u"error: "_s : u"other: "_s) + message);
        }
    }

    static inline PolishLog* s_instance = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

void spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3s)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count()) {
        QEventLoop loop;
        QTimer::singleShot(5ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Counts the sessions the polisher makes and records which one answered which prompt.
class CountingModel final : public LanguageModel {
public:
    explicit CountingModel(std::shared_ptr<LocalLanguageModel> model)
        : m_model(std::move(model))
    {
    }

    struct Use {
        int session;
        bool prewarmed;
        QString prompt;
    };

    LanguageModelAvailability availability() const override { return m_model->availability(); }
    std::shared_ptr<LanguageModelSession> makeSession(const QString& instructions) override
    {
        m_made.append(std::make_shared<Session>(this, int(m_made.size()) + 1, m_model->makeSession(instructions)));
        return m_made.last();
    }

    QList<Use> uses;
    int sessionsMade() const { return int(m_made.size()); }
    bool sessionAlive(int number) const { return m_made[number - 1].use_count() > 1; }

private:
    struct Session final : LanguageModelSession {
        Session(CountingModel* model, int sessionNumber, std::shared_ptr<LanguageModelSession> wrapped)
            : owner(model)
            , number(sessionNumber)
            , inner(std::move(wrapped))
        {
        }
        void prewarm() override
        {
            prewarmed = true;
            inner->prewarm();
        }
        QCoro::Task<QString> respond(QString prompt, GenerationOptions options, std::stop_token stop) override
        {
            owner->uses.append({number, prewarmed, prompt});
            return inner->respond(std::move(prompt), options, std::move(stop));
        }
        CountingModel* owner;
        int number;
        bool prewarmed = false;
        std::shared_ptr<LanguageModelSession> inner;
    };

    std::shared_ptr<LocalLanguageModel> m_model;
    QList<std::shared_ptr<Session>> m_made;
};

class AIPolisherServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        model = std::make_shared<LocalLanguageModel>(LocalLanguageModel::Configuration{server.baseURL(), {}});
        ASSERT_EQ(QCoro::waitFor(model->probe()), LanguageModelAvailability::available);
    }

    QString polish(AIPolisher& polisher, const QString& text, const QStringList& terms = {})
    {
        return QCoro::waitFor(polisher.polish(text, PolishContext{std::nullopt, terms}));
    }

    ScriptedHttpServer server;
    std::shared_ptr<LocalLanguageModel> model;
};

TEST_F(AIPolisherServer, SendsExactlyThePromptInstructionsAndOptions)
{
    AIPolisher polisher(model);
    server.enqueue(ScriptedHttpServer::answer(u"See you at noon, Supabase."_s));
    EXPECT_EQ(polish(polisher, u"um see you at noon super base"_s, {u"Supabase"_s, u"useState"_s}),
              u"See you at noon, Supabase."_s);

    const QList<ScriptedHttpServer::Request> requests = server.chatRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/v1/chat/completions");
    const QJsonObject body = requests[0].json();
    EXPECT_EQ(body.keys(), (QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s, u"stream"_s, u"temperature"_s}));
    EXPECT_EQ(body[u"model"].toString(), u"test-model"_s);
    EXPECT_EQ(body[u"temperature"].toDouble(-1), 0.0);
    EXPECT_EQ(body[u"max_tokens"].toInt(), 29 / 2 + 40);
    EXPECT_EQ(body[u"stream"], QJsonValue(false));
    const QJsonArray messages = body[u"messages"].toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].toObject(),
              (QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, AIPolisher::instructions()}}));
    // The raw paragraph goes to the model, not the basic result.
    EXPECT_EQ(messages[1].toObject(),
              (QJsonObject{{u"role"_s, u"user"_s},
                           {u"content"_s, u"Spell these terms exactly: Supabase, useState\n"
                                          u"<transcript>um see you at noon super base</transcript>"_s}}));
}

TEST_F(AIPolisherServer, ShortParagraphsNeverReachTheModel)
{
    AIPolisher polisher(model);
    EXPECT_EQ(polish(polisher, u"ok thanks"_s), u"Ok thanks"_s);
    // Four pieces raw, three after the basic cleanup.
    EXPECT_EQ(polish(polisher, u"um ok thanks all"_s), u"Ok thanks all"_s);
    EXPECT_EQ(polish(polisher, u"\n\nyes\n\nno no"_s), u"Yes\n\nNo"_s);
    EXPECT_TRUE(server.chatRequests().isEmpty());

    EXPECT_EQ(polish(polisher, u"see you at noon"_s), u"See you at noon"_s);
    EXPECT_EQ(server.chatRequests().size(), 1);
}

TEST_F(AIPolisherServer, ParagraphsGoOneByOneAndKeepTheirLineFeeds)
{
    AIPolisher polisher(model);
    server.enqueue({ScriptedHttpServer::answer(u"First one, here we go."_s),
                    ScriptedHttpServer::answer(u"Second one is here."_s),
                    ScriptedHttpServer::answer(u"Third and last one."_s)});
    EXPECT_EQ(polish(polisher, u"first one here we go new paragraph second one is here\nthird and last one"_s),
              u"First one, here we go.\n\nSecond one is here.\nThird and last one."_s);
    const QList<ScriptedHttpServer::Request> requests = server.chatRequests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].message(u"user"_s), u"<transcript>first one here we go</transcript>"_s);
    EXPECT_EQ(requests[1].message(u"user"_s), u"<transcript>second one is here</transcript>"_s);
    EXPECT_EQ(requests[2].message(u"user"_s), u"<transcript>third and last one</transcript>"_s);
}

TEST_F(AIPolisherServer, EachParagraphFallsBackOnItsOwn)
{
    AIPolisher polisher(model);
    PolishLog log;
    // The second answer invents a list; a rejected answer is not logged.
    server.enqueue({ScriptedHttpServer::answer(u"Alpha beta gamma delta."_s),
                    ScriptedHttpServer::answer(u"- one\n- two\n- three\n- four"_s)});
    EXPECT_EQ(polish(polisher, u"alpha beta gamma delta\n\none two two three four"_s),
              u"Alpha beta gamma delta.\n\nOne two three four"_s);
    EXPECT_EQ(log.lines(), QStringList{});
}

struct BadAnswer {
    const char* name;
    Reply reply;
    QString log;
    // The network layer sends a request again once when a reused connection is reset.
    int times = 1;
};

void PrintTo(const BadAnswer& row, std::ostream* out)
{
    *out << row.name;
}

class AIPolisherBadAnswers : public AIPolisherServer, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(AIPolisherBadAnswers, EndInTheBasicResult)
{
    AIPolisher polisher(model, 400ms);
    PolishLog log;
    for (int time = 0; time < GetParam().times; ++time) {
        server.enqueue(GetParam().reply);
    }
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(polish(polisher, u"um so the the meeting is on Friday"_s), u"So the meeting is on Friday"_s);
    EXPECT_LT(clock.elapsed(), 3000);
    ASSERT_EQ(log.lines().size(), 1) << log.lines().join(u'|').toStdString();
    EXPECT_TRUE(log.lines()[0].startsWith(GetParam().log)) << log.lines()[0].toStdString();

    // The model stays usable after every kind of failure.
    server.enqueue(ScriptedHttpServer::answer(u"So the meeting is on Friday."_s));
    EXPECT_EQ(polish(polisher, u"so the meeting is on friday"_s), u"So the meeting is on Friday."_s);
}

INSTANTIATE_TEST_SUITE_P(
        Server, AIPolisherBadAnswers,
        ::testing::Values(
                BadAnswer{"malformedJson", ScriptedHttpServer::status(200, "{\"choices\": [tru"),
                          u"error: AI polish failed, using basic: The language model's answer is not valid JSON"_s},
                BadAnswer{"noChoices", ScriptedHttpServer::status(200, R"({"id": "x"})"),
                          u"error: AI polish failed, using basic: The language model's answer has no text"_s},
                BadAnswer{"contentNotText",
                          ScriptedHttpServer::status(200, R"({"choices":[{"message":{"content":7}}]})"),
                          u"error: AI polish failed, using basic: The language model's answer has no text"_s},
                BadAnswer{"emptyBody", ScriptedHttpServer::status(200),
                          u"error: AI polish failed, using basic: The language model's answer is not valid JSON"_s},
                BadAnswer{"enormousBody", ScriptedHttpServer::kind(Reply::Kind::enormous),
                          u"error: AI polish failed, using basic: The language model's answer is too large"_s},
                BadAnswer{"connectionReset", ScriptedHttpServer::kind(Reply::Kind::reset),
                          u"error: AI polish failed, using basic: "_s, 2},
                BadAnswer{"serverError",
                          ScriptedHttpServer::status(500, R"({"error":{"message":"model crashed","type":"server"}})"),
                          u"error: AI polish failed, using basic: HTTP 500: model crashed"_s},
                BadAnswer{"plainTextError", ScriptedHttpServer::status(400, "bad request\n"),
                          u"error: AI polish failed, using basic: HTTP 400: bad request"_s},
                BadAnswer{"neverAnswers", ScriptedHttpServer::kind(Reply::Kind::silent),
                          u"error: AI polish timed out, using basic"_s},
                BadAnswer{"answersTooLate", ScriptedHttpServer::answer(u"So the meeting is Friday."_s, 1500ms),
                          u"error: AI polish timed out, using basic"_s}));

TEST_F(AIPolisherServer, PrewarmedSessionServesOnlyTheNextParagraph)
{
    auto counting = std::make_shared<CountingModel>(model);
    AIPolisher polisher(counting);

    polisher.prewarm();
    spinUntil([&] { return server.prewarmRequests().size() == 1; });
    ASSERT_EQ(server.prewarmRequests().size(), 1);
    const QJsonObject prewarm = server.prewarmRequests()[0].json();
    EXPECT_EQ(prewarm[u"max_tokens"].toInt(), 1);
    EXPECT_EQ(server.prewarmRequests()[0].message(u"system"_s), AIPolisher::instructions());

    // A second prewarm replaces and releases the first session.
    polisher.prewarm();
    EXPECT_EQ(counting->sessionsMade(), 2);
    EXPECT_FALSE(counting->sessionAlive(1));

    polish(polisher, u"first paragraph with words\nsecond paragraph with words"_s);
    polish(polisher, u"third paragraph with words"_s);
    ASSERT_EQ(counting->uses.size(), 3);
    EXPECT_EQ(counting->uses[0].session, 2);
    EXPECT_TRUE(counting->uses[0].prewarmed);
    EXPECT_EQ(counting->uses[1].session, 3);
    EXPECT_FALSE(counting->uses[1].prewarmed);
    EXPECT_EQ(counting->uses[2].session, 4);
    EXPECT_EQ(counting->sessionsMade(), 4);
}

TEST_F(AIPolisherServer, UnavailableModelMeansTheBasicCleanupForTheWholeText)
{
    const QString text = u"um so new paragraph the the plan is new line to ship it on friday"_s;
    for (const Reply& models : {ScriptedHttpServer::status(503, R"({"error":{"message":"Loading model"}})"),
                                ScriptedHttpServer::modelList({})}) {
        server.setModelsReply(models);
        EXPECT_EQ(QCoro::waitFor(model->probe()), LanguageModelAvailability::modelNotReady);
        AIPolisher polisher(model);
        polisher.prewarm();
        EXPECT_EQ(polish(polisher, text), BasicPolisher::polished(text));
    }
    auto notSetUp = std::make_shared<LocalLanguageModel>();
    AIPolisher polisher(notSetUp);
    EXPECT_EQ(polish(polisher, text), BasicPolisher::polished(text));
    EXPECT_TRUE(server.chatRequests().isEmpty());
    EXPECT_TRUE(server.prewarmRequests().isEmpty());
}

TEST_F(AIPolisherServer, AvailabilityFollowsTheServer)
{
    struct Case {
        Reply models;
        QString name;
        LanguageModelAvailability expected;
    };
    const QList<Case> cases{
            {ScriptedHttpServer::modelList({u"a"_s, u"b"_s}), QString(), LanguageModelAvailability::available},
            {ScriptedHttpServer::modelList({u"a"_s, u"b"_s}), u"b"_s, LanguageModelAvailability::available},
            {ScriptedHttpServer::modelList({u"a"_s}), u"b"_s, LanguageModelAvailability::modelNotReady},
            {ScriptedHttpServer::status(503), QString(), LanguageModelAvailability::modelNotReady},
            {ScriptedHttpServer::status(500), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::status(200, "<html>"), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::kind(Reply::Kind::reset), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::kind(Reply::Kind::silent), QString(), LanguageModelAvailability::unavailable},
    };
    for (const Case& c : cases) {
        server.setModelsReply(c.models);
        LocalLanguageModel probed({server.baseURL(), c.name});
        EXPECT_EQ(QCoro::waitFor(probed.probe()), c.expected) << c.name.toStdString();
        EXPECT_EQ(probed.availability(), c.expected);
    }

    // Requests name the configured model, or the first listed one.
    server.setModelsReply(ScriptedHttpServer::modelList({u"first"_s, u"second"_s}));
    LocalLanguageModel listed({server.baseURL(), QString()});
    QCoro::waitFor(listed.probe());
    EXPECT_EQ(listed.modelForRequests(), u"first"_s);
    listed.setConfiguration({server.baseURL(), u"second"_s});
    EXPECT_EQ(listed.modelForRequests(), u"second"_s);

    EXPECT_EQ(availabilityText(LanguageModelAvailability::available), u"Language model ready"_s);
    EXPECT_EQ(availabilityText(LanguageModelAvailability::notEnabled), u"Set up a local language model in Settings"_s);
    EXPECT_EQ(availabilityText(LanguageModelAvailability::modelNotReady), u"Language model is still loading"_s);
    EXPECT_EQ(availabilityText(LanguageModelAvailability::unavailable), u"Language model unavailable"_s);
}

TEST(LocalLanguageModel, OnlyLoopbackServersCount)
{
    for (const QString& url : {u"http://127.0.0.1:8080/v1"_s, u"http://localhost:11434/v1"_s, u"http://LOCALHOST/v1"_s,
                               u"https://127.4.5.6/v1"_s, u"http://[::1]:8080/v1"_s}) {
        EXPECT_TRUE(LocalLanguageModel::loopbackURL(url).has_value()) << url.toStdString();
    }
    for (const QString& url : {QString(), u"127.0.0.1:8080"_s, u"http://example.com/v1"_s, u"http://10.0.0.1/v1"_s,
                               u"http://128.0.0.1/v1"_s, u"http://localhost.example.com/v1"_s, u"ftp://127.0.0.1/v1"_s,
                               u"file:///tmp/v1"_s, u"http://[::2]/v1"_s, u"not a url at all"_s}) {
        EXPECT_FALSE(LocalLanguageModel::loopbackURL(url).has_value()) << url.toStdString();
        LocalLanguageModel model({url, QString()});
        EXPECT_EQ(QCoro::waitFor(model.probe()), LanguageModelAvailability::notEnabled);
    }
}

TEST(LocalLanguageModel, UnreachableServerIsUnavailableAndSettingsChangesProbeAgain)
{
    // A port that was just free: nothing listens there.
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    LocalLanguageModel model({u"http://127.0.0.1:%1/v1"_s.arg(port), QString()});
    EXPECT_EQ(QCoro::waitFor(model.probe()), LanguageModelAvailability::unavailable);

    ScriptedHttpServer server;
    model.setConfiguration({server.baseURL(), QString()});
    spinUntil([&] { return model.availability() == LanguageModelAvailability::available; });
    EXPECT_EQ(model.availability(), LanguageModelAvailability::available);

    model.setConfiguration({QString(), QString()});
    EXPECT_EQ(model.availability(), LanguageModelAvailability::notEnabled);
}

} // namespace
} // namespace sayloom
