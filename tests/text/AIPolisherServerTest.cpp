#include "support/Printers.h"
#include "support/ScriptedHttpServer.h"
#include "text/AIPolisher.h"
#include "text/LocalLanguageModel.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;

// The answer, or the description of the failure it ends with.
QCoro::Task<QString> outcome(std::shared_ptr<LanguageModelSession> session, QString prompt)
{
    try {
        co_return u"answer: "_s + co_await session->respond(prompt, {0.0, 50}, {});
    } catch (const LanguageModelError& error) {
        co_return u"failure: "_s + error.description();
    }
}

// A server that lists another model first, so only the configured name can make the model available.
class AIPolisherServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setModelsReply(ScriptedHttpServer::modelList({u"other-model"_s, u"test-model"_s}));
        model = std::make_shared<LocalLanguageModel>(
                LocalLanguageModel::Configuration{server.baseURL(), u"test-model"_s});
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
    EXPECT_EQ(requests[0].method + ' ' + requests[0].path, "POST /v1/chat/completions");
    // The raw paragraph goes to the model, not the basic result.
    const QJsonArray messages{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, AIPolisher::instructions()}},
                              QJsonObject{{u"role"_s, u"user"_s},
                                          {u"content"_s, u"Spell these terms exactly: Supabase, useState\n"
                                                         u"<transcript>um see you at noon super base</transcript>"_s}}};
    EXPECT_EQ(requests[0].json(), (QJsonObject{{u"model"_s, u"test-model"_s},
                                               {u"messages"_s, messages},
                                               {u"temperature"_s, 0.0},
                                               {u"max_tokens"_s, 29 / 2 + 40},
                                               {u"stream"_s, false}}));
}

TEST_F(AIPolisherServer, ParagraphsGoOneByOneAndShortOnesNeverReachTheModel)
{
    AIPolisher polisher(model);
    // Four pieces raw, three after the basic cleanup.
    EXPECT_EQ(polish(polisher, u"um ok thanks all\n\nyes\n\nno no"_s), u"Ok thanks all\n\nYes\n\nNo"_s);
    EXPECT_TRUE(server.chatRequests().isEmpty());

    server.enqueue({ScriptedHttpServer::answer(u"First one, here we go."_s),
                    ScriptedHttpServer::answer(u"Second one is here."_s)});
    EXPECT_EQ(polish(polisher, u"first one here we go new paragraph second one is here\nthird and last one"_s),
              u"First one, here we go.\n\nSecond one is here.\nThird and last one"_s);
    const QList<ScriptedHttpServer::Request> requests = server.chatRequests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].message(u"user"_s), u"<transcript>first one here we go</transcript>"_s);
    EXPECT_EQ(requests[1].message(u"user"_s), u"<transcript>second one is here</transcript>"_s);
    EXPECT_EQ(requests[2].message(u"user"_s), u"<transcript>third and last one</transcript>"_s);
}

TEST_F(AIPolisherServer, EachParagraphFallsBackOnItsOwn)
{
    // The second answer invents a list, the third fails, the fourth comes after the deadline.
    AIPolisher polisher(model, 400ms);
    server.enqueue({ScriptedHttpServer::answer(u"Alpha beta gamma delta."_s),
                    ScriptedHttpServer::answer(u"- one\n- two\n- three\n- four"_s),
                    ScriptedHttpServer::status(500, R"({"error":{"message":"model crashed"}})"),
                    ScriptedHttpServer::answer(u"Golf hotel, india juliet."_s, 1500ms)});
    EXPECT_EQ(polish(polisher, u"alpha beta gamma delta\n\none two two three four\nuh echo echo foxtrot kilo lima\n"
                               u"golf hotel india juliet"_s),
              u"Alpha beta gamma delta.\n\nOne two three four\nEcho foxtrot kilo lima\nGolf hotel india juliet"_s);
    // The model stays usable, and the late answer is nobody's.
    server.enqueue(ScriptedHttpServer::answer(u"So the meeting is on Friday."_s));
    EXPECT_EQ(polish(polisher, u"so the meeting is on friday"_s), u"So the meeting is on Friday."_s);
}

TEST_F(AIPolisherServer, BadAnswersFailWithADescriptionAndTheModelStaysUsable)
{
    const struct {
        Reply reply;
        QString failure;
        // The network layer sends a request again once when a reused connection is reset.
        int times = 1;
    } cases[] = {
            {ScriptedHttpServer::status(200, "{\"choices\": [tru"), u"The language model's answer is not valid JSON"_s},
            {ScriptedHttpServer::status(200, R"({"choices":[{"message":{"content":7}}]})"),
             u"The language model's answer has no text"_s},
            {ScriptedHttpServer::kind(Reply::Kind::enormous), u"The language model's answer is too large"_s},
            {ScriptedHttpServer::kind(Reply::Kind::reset), QString(), 2},
            {ScriptedHttpServer::status(500, R"({"error":{"message":"model crashed","type":"server"}})"),
             u"HTTP 500: model crashed"_s},
            {ScriptedHttpServer::status(404, R"({"error":"model not found"})"), u"HTTP 404: model not found"_s},
            {ScriptedHttpServer::status(400, "bad request\n"), u"HTTP 400: bad request"_s},
    };
    const auto session = model->makeSession(u"Be brief."_s);
    for (const auto& c : cases) {
        for (int time = 0; time < c.times; ++time) {
            server.enqueue(c.reply);
        }
        const QString failed = QCoro::waitFor(outcome(session, u"hi"_s));
        EXPECT_TRUE(failed.startsWith(u"failure: "_s + c.failure)) << failed.toStdString();
        server.enqueue(ScriptedHttpServer::answer(u"Hello."_s));
        EXPECT_EQ(QCoro::waitFor(outcome(session, u"hi"_s)), u"answer: Hello."_s);
    }
}

// Numbers the sessions it makes and records which one answered each paragraph, and whether it had been prewarmed.
class CountingModel final : public LanguageModel {
public:
    struct Session final : LanguageModelSession {
        Session(CountingModel* model, int sessionNumber)
            : owner(model)
            , number(sessionNumber)
        {
        }
        void prewarm() override { prewarmed = true; }
        QCoro::Task<QString> respond(QString prompt, GenerationOptions, std::stop_token) override
        {
            owner->uses.append({number, prewarmed});
            co_return prompt.section(u'>', 1).section(u'<', 0, 0);
        }
        CountingModel* owner;
        int number;
        bool prewarmed = false;
    };

    LanguageModelAvailability availability() const override { return LanguageModelAvailability::available; }
    std::shared_ptr<LanguageModelSession> makeSession(const QString&) override
    {
        auto session = std::make_shared<Session>(this, int(made.size()) + 1);
        made.push_back(session);
        return session;
    }

    std::vector<std::weak_ptr<Session>> made;
    QList<std::pair<int, bool>> uses;
};

TEST_F(AIPolisherServer, PrewarmedSessionServesOnlyTheNextParagraph)
{
    AIPolisher(model).prewarm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.prewarmRequests().size() == 1; }));
    EXPECT_EQ(server.prewarmRequests()[0].json()[u"max_tokens"].toInt(), 1);
    EXPECT_EQ(server.prewarmRequests()[0].message(u"system"_s), AIPolisher::instructions());

    auto counting = std::make_shared<CountingModel>();
    AIPolisher polisher(counting);
    polisher.prewarm();
    // A second prewarm replaces and releases the first session.
    polisher.prewarm();
    EXPECT_TRUE(counting->made[0].expired());
    polish(polisher, u"first paragraph with words\nsecond paragraph with words"_s);
    polish(polisher, u"third paragraph with words"_s);
    EXPECT_EQ(counting->uses, (QList<std::pair<int, bool>>{{2, true}, {3, false}, {4, false}}));
}

TEST_F(AIPolisherServer, UnavailableModelMeansTheBasicCleanupForTheWholeText)
{
    const QString text = u"um so new paragraph the the plan is new line to ship it on friday"_s;
    server.setModelsReply(ScriptedHttpServer::status(503, R"({"error":{"message":"Loading model"}})"));
    EXPECT_EQ(QCoro::waitFor(model->probe()), LanguageModelAvailability::modelNotReady);
    AIPolisher polisher(model);
    polisher.prewarm();
    EXPECT_EQ(polish(polisher, text), BasicPolisher::polished(text));
    EXPECT_TRUE(server.chatRequests().isEmpty());
    EXPECT_TRUE(server.prewarmRequests().isEmpty());
}

TEST_F(AIPolisherServer, AvailabilityFollowsTheServer)
{
    const struct {
        Reply models;
        QString name;
        LanguageModelAvailability expected;
    } cases[] = {
            {ScriptedHttpServer::modelList({u"a"_s, u"b"_s}), QString(), LanguageModelAvailability::available},
            {ScriptedHttpServer::modelList({}), QString(), LanguageModelAvailability::modelNotReady},
            {ScriptedHttpServer::modelList({u"a"_s}), u"b"_s, LanguageModelAvailability::modelNotReady},
            {ScriptedHttpServer::status(503), QString(), LanguageModelAvailability::modelNotReady},
            {ScriptedHttpServer::status(500), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::status(200, "<html>"), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::kind(Reply::Kind::reset), QString(), LanguageModelAvailability::unavailable},
            {ScriptedHttpServer::kind(Reply::Kind::silent), QString(), LanguageModelAvailability::unavailable},
    };
    for (const auto& c : cases) {
        server.setModelsReply(c.models);
        LocalLanguageModel probed({server.baseURL(), c.name});
        EXPECT_EQ(QCoro::waitFor(probed.probe()), c.expected) << c.name.toStdString();
        EXPECT_EQ(probed.availability(), c.expected);
    }

    // Without a configured name, requests name the first model listed.
    server.setModelsReply(ScriptedHttpServer::modelList({u"first"_s, u"second"_s}));
    LocalLanguageModel listed({server.baseURL(), QString()});
    QCoro::waitFor(listed.probe());
    EXPECT_EQ(listed.modelForRequests(), u"first"_s);
    // New settings are probed at once.
    listed.setConfiguration({QString(), QString()});
    EXPECT_EQ(listed.availability(), LanguageModelAvailability::notEnabled);
    listed.setConfiguration({server.baseURL(), u"second"_s});
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed.availability() == LanguageModelAvailability::available; }));

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

} // namespace
} // namespace sayloom
