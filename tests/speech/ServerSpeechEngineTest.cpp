#include "speech/ServerSpeechEngine.h"

#include "audio/AudioBuffer.h"
#include "speech/SpeechServerProtocol.h"
#include "support/Printers.h"
#include "support/ScriptedHttpServer.h"

#include <QCoroThread>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <cmath>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;
using State = ServerSpeechEngine::ServerState;

const QString fallbackWords = u"words from the fallback"_s;
const AudioFormat takeFormat{16000, 1, SampleType::int16, true};

// Stands in for PocketSphinx: reads the whole take on a thread of its own, as the real one does, reports one partial
// and answers with fixed words.
class FallbackRecogniser final : public TranscriptionEngine {
public:
    QString name() const override { return u"PocketSphinx"_s; }
    QCoro::Task<void> prepare() override { co_return; }
    QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat, QStringList, PartialHandler onPartial,
                                    std::stop_token stop) override
    {
        std::unique_ptr<QThread> reader(QThread::create([&] {
            while (audio.next(stop)) {
            }
        }));
        reader->start();
        co_await qCoro(reader.get()).waitForFinished();
        onPartial(fallbackWords);
        co_return fallbackWords;
    }
};

// `seconds` of a 440 Hz tone at 16 kHz in 100 ms chunks, as an ended stream; `amplitude` 0 is digital silence.
AudioStream take(double seconds, std::vector<std::int16_t>* samples = nullptr, double amplitude = 8000)
{
    std::vector<std::int16_t> all(std::size_t(seconds * 16000));
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * 440 * double(i) / 16000)));
    }
    auto [stream, continuation] = AudioStream::make();
    for (auto at = all.begin(), to = at; at < all.end(); at = to) {
        to = all.end() - at > 1600 ? at + 1600 : all.end();
        continuation.yield({std::make_shared<AudioBuffer>(takeFormat, std::vector(at, to))});
    }
    continuation.finish();
    if (samples) {
        *samples = std::move(all);
    }
    return std::move(stream);
}

const auto server = [](const QString& url) { return ServerSpeechEngine::Configuration{true, url, {}, {}, {}}; };

QString transcribe(
        ServerSpeechEngine& engine, AudioStream audio, const QStringList& vocabulary = {},
        TranscriptionEngine::PartialHandler onPartial = [](const QString&) {})
{
    return QCoro::waitFor(engine.transcribe(std::move(audio), takeFormat, vocabulary, std::move(onPartial)));
}

// Each field of a request's form as name=value; the file as name:file name;type.
QByteArrayList fields(const ScriptedHttpServer::Request& request)
{
    QByteArrayList result;
    for (const auto& f : request.form()) {
        result.append(f.fileName.isEmpty() ? QByteArray(f.name + '=' + f.body)
                                           : QByteArray(f.name + ':' + f.fileName + ';' + f.contentType));
    }
    return result;
}

TEST(ServerSpeechEngine, SendsTheTakeAsOneMultipartRequest)
{
    ScriptedHttpServer scripted;
    FallbackRecogniser fallback;
    // whisper.cpp answers with a leading space, line breaks and markers for what is not speech.
    scripted.enqueueTranscriptions({Reply{200, R"({"text":" Deploy it to\nSupabase [BLANK_AUDIO] today.\n"})"}});
    ServerSpeechEngine engine(fallback, {true, scripted.baseURL(), u"whisper-1"_s, u"en"_s, u"secret"_s});
    std::vector<std::int16_t> samples;
    QStringList partials;
    EXPECT_EQ(transcribe(engine, take(1.0, &samples), {u"Claude Code"_s, u"Supabase"_s},
                         [&](const QString& text) { partials.append(text); }),
              u"Deploy it to Supabase today."_s);
    // The fallback still decodes alongside, for the live words.
    EXPECT_EQ(partials, QStringList{fallbackWords});
    EXPECT_EQ(engine.lastTakeSource(), u"Speech server (whisper-1)"_s);

    const auto requests = scripted.requests("/audio/transcriptions");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].path, "/v1/audio/transcriptions");
    EXPECT_EQ(requests[0].header("authorization"), "Bearer secret");
    // The most important word (first given) comes last, where servers that cut the prompt keep it.
    EXPECT_EQ(fields(requests[0]),
              (QByteArrayList{"file:take.wav;audio/wav", "model=whisper-1", "response_format=json", "temperature=0",
                              "language=en", "prompt=Glossary: Supabase, Claude Code."}));
    // RIFF header of 16 kHz mono 16-bit PCM with 32 000 bytes of data, then the samples as they came.
    const QByteArray wav = requests[0].form().value(0).body;
    EXPECT_EQ(wav.left(44).toHex(), "52494646247d000057415645666d74201000000001000100803e0000007d00000200100064617461"
                                    "007d0000");
    EXPECT_EQ(wav.mid(44), QByteArray(reinterpret_cast<const char*>(samples.data()), 32000));

    // whisper.cpp's own endpoint is used as given; without a model setting the first listed one is named, and
    // what is not set is not sent.
    scripted.setModelsReply(ScriptedHttpServer::modelList({u"first"_s, u"second"_s}));
    ServerSpeechEngine bare(fallback, server(scripted.baseURL() + u"/inference/"_s));
    QCoro::waitFor(bare.prepare());
    EXPECT_EQ(transcribe(bare, take(0.5)), u"Hello from the server."_s);
    const auto inference = scripted.requests("/inference");
    ASSERT_EQ(inference.size(), 1);
    EXPECT_EQ(inference[0].header("authorization"), QByteArray());
    EXPECT_EQ(fields(inference[0]),
              (QByteArrayList{"file:take.wav;audio/wav", "model=first", "response_format=json", "temperature=0"}));
}

TEST(ServerSpeechEngine, GlossaryKeepsTheMostImportantWordsWithinTheLimit)
{
    EXPECT_EQ(SpeechServerProtocol::glossaryPrompt({u" "_s, QString()}), std::nullopt);
    EXPECT_EQ(SpeechServerProtocol::glossaryPrompt({u"Smith,\nJones"_s, u"x"_s}), u"Glossary: x, Smith Jones."_s);

    QStringList many;
    for (int i = 0; i < 200; ++i) {
        many.append(u"Term%1"_s.arg(i, 3, 10, QChar(u'0')));
    }
    // A phrase too long to fit leaves room for shorter ones.
    many.insert(1, QString(700, u'a'));
    const QString prompt = SpeechServerProtocol::glossaryPrompt(many).value_or(QString());
    EXPECT_LE(prompt.size(), SpeechServerProtocol::promptLimit);
    EXPECT_GT(prompt.size(), SpeechServerProtocol::promptLimit - 9);
    EXPECT_TRUE(prompt.startsWith(u"Glossary: Term06"_s)) << prompt.toStdString();
    EXPECT_TRUE(prompt.endsWith(u"Term002, Term001, Term000."_s)) << prompt.toStdString();
}

TEST(ServerSpeechEngine, UsesTheAnswerOrFallsBackOnEveryKindOfFailure)
{
    EXPECT_EQ(ServerSpeechEngine::deadline(60s), 15s);
    const struct {
        Reply reply;
        QString text;
        State state;
    } cases[] = {
            {Reply{200, "Hello there\n", 0ms, Reply::Kind::normal, "text/plain"}, u"Hello there"_s, State::ready},
            {ScriptedHttpServer::transcription(u"[BLANK_AUDIO]"_s), QString(), State::ready},
            {ScriptedHttpServer::status(401, R"({"error":{"message":"bad key"}})"), QString(), State::failing},
            {ScriptedHttpServer::status(404), QString(), State::failing},
            {ScriptedHttpServer::status(500, "boom"), QString(), State::failing},
            {ScriptedHttpServer::status(503), QString(), State::loading},
            {Reply{200, R"({"text": "unfinished)"}, QString(), State::failing},
            {Reply{200, R"({"words": "none"})"}, QString(), State::failing},
            // Unanswered: the take's deadline is kept and the request aborted.
            {ScriptedHttpServer::kind(Reply::Kind::silent), QString(), State::failing},
            // Redirected to another host: not followed.
            {Reply{302, {}, 0ms, Reply::Kind::normal, {}, "Location: http://example.com/v1/audio/transcriptions\r\n"},
             QString(), State::failing},
    };
    for (const auto& [reply, text, state] : cases) {
        SCOPED_TRACE(testing::Message() << "status " << reply.status << ", kind " << int(reply.kind));
        ScriptedHttpServer scripted;
        FallbackRecogniser fallback;
        scripted.enqueueTranscriptions({reply});
        ServerSpeechEngine engine(fallback, server(scripted.baseURL()));
        const bool fails = state != State::ready;
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(transcribe(engine, take(0.5)), fails ? fallbackWords : text);
        EXPECT_LT(clock.elapsed(), 4500);
        EXPECT_EQ(engine.serverState(), state);
        if (reply.kind == Reply::Kind::silent) {
            EXPECT_GE(clock.elapsed(), 3500);
            EXPECT_TRUE(QTest::qWaitFor([&] { return scripted.closedConnections() >= 1; }, 2000));
        }
        if (fails) {
            EXPECT_TRUE(engine.lastTakeSource().startsWith(u"PocketSphinx (speech server: "_s));
            // A failing server is left alone for a while rather than asked again at every take.
            EXPECT_EQ(transcribe(engine, take(0.5)), fallbackWords);
            EXPECT_EQ(scripted.requests("/audio/transcriptions").size(), 1);
        }
    }
}

// Takes go to a server only while its last check found it up, never to one off this computer, and only when loud
// enough: too short, digital silence, and room noise at about -53 dBFS make servers make up words.
TEST(ServerSpeechEngine, ChecksTheServerBeforeSendingTakes)
{
    ScriptedHttpServer scripted;
    FallbackRecogniser fallback;
    const QString here = scripted.baseURL(), hello = u"Hello from the server."_s;
    const Reply listed = ScriptedHttpServer::modelList({u"first"_s}), up = ScriptedHttpServer::status(200),
                missing = ScriptedHttpServer::status(404), busy = ScriptedHttpServer::status(503);
    const struct {
        QString address;
        Reply models;
        Reply health;
        State state;
        QString text = fallbackWords;
        double seconds = 0.5, amplitude = 8000;
    } rows[] = {
            {here, listed, ScriptedHttpServer::status(500), State::ready, hello},
            {here, missing, up, State::ready, hello},
            {here, listed, up, State::ready, fallbackWords, 0.25},
            {here, listed, up, State::ready, fallbackWords, 1.0, 0.0},
            {here, listed, up, State::ready, fallbackWords, 1.0, 100.0},
            {here, busy, up, State::loading},
            {here, missing, busy, State::loading},
            {here, missing, missing, State::failing},
            // Nothing listens on a privileged port here.
            {u"http://127.0.0.1:1/v1"_s, up, up, State::notRunning},
            {u"http://0.0.0.0:1/v1"_s, up, up, State::notSetUp},
            {u"http://192.168.1.20:8080/v1"_s, up, up, State::notSetUp},
            {u"http://127.0.0.1.example.com/v1"_s, up, up, State::notSetUp},
    };
    for (const auto& [address, models, health, state, text, seconds, amplitude] : rows) {
        SCOPED_TRACE(testing::Message() << address.toStdString() << ' ' << seconds << " s at " << amplitude);
        scripted.setModelsReply(models);
        scripted.setHealthReply(health);
        ServerSpeechEngine engine(fallback, server(address));
        EXPECT_EQ(QCoro::waitFor(engine.probe()), state);
        EXPECT_EQ(engine.serverState(), state);
        EXPECT_EQ(transcribe(engine, take(seconds, nullptr, amplitude)), text);
    }
    EXPECT_EQ(scripted.requests("/health").size(), 3);
    EXPECT_EQ(scripted.requests("/audio/transcriptions").size(), 2);
}

} // namespace
} // namespace sayloom
