#include "SessionRig.h"
#include "history/History.h"

#include <QFile>
#include <QSettings>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;
using enum Kind;

QList<HistoryEntry> historyOnDisk(const SessionRig& rig)
{
    QSettings unused(rig.path(QStringLiteral("unused.ini")), QSettings::IniFormat);
    return History::load(unused, rig.path(QStringLiteral("History.json")));
}

// How one take ends: what the engine does (its outcome held until F), and what the user sees and keeps
// afterwards. Whatever happened, the microphone is closed, no lock outlives the take, and the next press records.
struct Delivery {
    const char* name;
    const char* arrange;
    FakeEngine::Outcome outcome;
    bool held;
    const char* acts;
    const char* message;
    std::chrono::milliseconds hiddenAfter;
    Kind phase;
    bool saved, inserted, copied;
};

const QString helloWorld = QStringLiteral("hello world");
const TranscriptionError noAudio(QStringLiteral("No audio came through from the microphone"));
const TranscriptionError stopped(QStringLiteral("Speech recognition stopped"));
const char* const take = "P +1000 R +1000";

const Delivery deliveries[] = {
        {"Inserted", "", helloWorld, false, take, "", 0ms, idle, true, true, false},
        {"EmptyTranscript", "", QString(), false, take, "Didn't catch that", 2s, idle, false, false, false},
        {"NothingLeftAfterCleanup", "", QStringLiteral("um uh"), false, take, "Didn't catch that", 2s, idle, false,
         false, false},
        {"StartedFromOwnWindow", "o", helloWorld, false, take, "Copied to clipboard", 2s, idle, true, false, true},
        {"WithoutAccessibility", "a", helloWorld, false, take, "Copied — grant Accessibility so Sayloom can type", 3s,
         error, true, false, true},
        {"RecognitionFails", "", noAudio, false, take, "No audio came through from the microphone", 3s, error, false,
         false, false},
        {"RecognitionNeverEnds", "", helloWorld, true, "P +1000 R +20000", "Took too long — try again", 3s, error,
         false, false, false},
        // The engine is told to stop, and the watchdog is disarmed.
        {"CancelledWhileProcessing", "", helloWorld, true, "P +1000 R +2000 E +30000", "Cancelled", 1s, idle, false,
         false, false},
        // Once the text is being pasted, the take has succeeded: calling it too slow would make the user say it again.
        {"WatchdogWakesDuringThePaste", "", helloWorld, true, "P +1000 R +19800 F +1000", "", 0ms, idle, true, true,
         false},
        // The sound server went away before the user let go: dictated as it is, once.
        {"AudioEndsBeforeTheRelease", "", helloWorld, true, "P +2000 F +1000 R +30000", "", 0ms, idle, true, true,
         false},
        {"EngineGivesUpWhileHandsFree", "", stopped, true, "T +2000 F", "Speech recognition stopped", 3s, error, false,
         false, false},
        {"EngineGivesUpInTheTail", "", stopped, true, "P +1000 R +100 F +1000", "Speech recognition stopped", 3s, error,
         false, false, false},
};

void PrintTo(const Delivery& row, std::ostream* out)
{
    *out << row.name;
}

class SessionDeliveries : public ::testing::TestWithParam<Delivery> {};

TEST_P(SessionDeliveries, EndTheTakeOnce)
{
    const Delivery& row = GetParam();
    SessionRig rig;
    rig.buildAndStart();
    rig.act(row.arrange);
    rig.engine.script(row.outcome, row.held);
    rig.act(row.acts);
    EXPECT_EQ(rig.phase(), row.phase);
    EXPECT_FALSE(rig.state->isTakeRunning());
    EXPECT_FALSE(rig.recorder.isRecording());
    EXPECT_FALSE(rig.state->isLocked());
    EXPECT_EQ(rig.desktop.message, QString::fromUtf8(row.message));
    EXPECT_EQ(rig.desktop.hides.back(), row.hiddenAfter);
    EXPECT_EQ(rig.desktop.inserted, row.inserted ? QStringList{QStringLiteral("Hello world")} : QStringList());
    EXPECT_EQ(rig.desktop.copied, row.copied ? QStringLiteral("Hello world") : QString());
    EXPECT_EQ(rig.state->history().size(), row.saved ? 1 : 0);
    EXPECT_EQ(historyOnDisk(rig), rig.state->history());

    rig.advance(AppState::errorDuration);
    EXPECT_EQ(rig.phase(), idle);
    EXPECT_EQ(rig.desktop.inserted.size(), row.inserted ? 1 : 0);
    rig.press();
    EXPECT_EQ(rig.phase(), recording);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, SessionDeliveries, ::testing::ValuesIn(deliveries),
                         [](const ::testing::TestParamInfo<Delivery>& row) { return std::string(row.param.name); });

class SessionPipeline : public ::testing::Test {
protected:
    void SetUp() override { rig.buildAndStart(); }
    SessionRig rig;
};

TEST_F(SessionPipeline, TheTailStopsTheRecorderOnceAndOnlyForItsOwnTake)
{
    rig.act("h P +1000 R +299");
    EXPECT_TRUE(rig.recorder.isRecording());
    rig.act("+1");
    EXPECT_FALSE(rig.recorder.isRecording());
    EXPECT_EQ(rig.desktop.count(Sounds::Cue::end), 1);

    // Cancelled within the tail, and a new take started before the old tail wakes: the cancel stopped the
    // recorder, the old tail leaves the new take's recording alone.
    rig.act("E +1000 P +1000 R +100 E P +250");
    EXPECT_EQ(rig.recorder.stops, 2);
    EXPECT_TRUE(rig.recorder.isRecording());
    EXPECT_EQ(rig.desktop.count(Sounds::Cue::end), 1);
}

// However the first take ended (delivered, cancelled while processing, failed), its watchdog leaves a second take
// started within its 20 s alone; the second take's own watchdog does end it.
TEST(SessionWatchdog, ASecondTakeIsNotHitByTheFirstTakesWatchdog)
{
    const std::pair<FakeEngine::Outcome, const char*> firstTakes[] = {
            {QStringLiteral("delivered"), "P +1000 R +1000"},
            {QString(), "h P +1000 R +500 E"},
            {TranscriptionError(QStringLiteral("Speech recognition stopped")), "P +1000 R +500"},
    };
    for (const auto& [outcome, acts] : firstTakes) {
        SCOPED_TRACE(acts);
        SessionRig rig;
        rig.buildAndStart();
        rig.engine.script(outcome);
        rig.act(acts);
        EXPECT_FALSE(rig.state->isTakeRunning());
        const int shows = rig.desktop.shows;
        rig.act("+5000 h P +1000 R +16000");
        EXPECT_EQ(rig.phase(), transcribing);
        EXPECT_EQ(rig.desktop.shows, shows + 2); // listening, processing
        rig.act("+4000");
        EXPECT_EQ(rig.state->phase(), AppState::Phase::error(QStringLiteral("Took too long — try again")));
    }
}

TEST_F(SessionPipeline, TheHistoryEntryIsWrittenFirstWithCorrectionsInTheFinalText)
{
    rig.state.reset();
    QFile dictionary(rig.path(QStringLiteral("Dictionary.txt")));
    ASSERT_TRUE(dictionary.open(QIODevice::WriteOnly));
    dictionary.write("cloud code -> Claude Code\nSupabase\n");
    dictionary.close();
    rig.buildAndStart();

    // Another window has the focus when the text is ready: the target is brought back first, and pasted into once
    // the window manager reports it active; the history entry is written before either.
    rig.engine.script(QStringLiteral("um so cloud code and supabase"));
    rig.press();
    rig.desktop.front = RunningApplication{QStringLiteral("77"), QStringLiteral("org.kde.konsole"), {}};
    rig.act("+1500 R +300");
    EXPECT_EQ(rig.desktop.activated, QStringList{QStringLiteral("4242")});
    EXPECT_TRUE(rig.desktop.inserted.isEmpty());
    ASSERT_EQ(rig.state->history().size(), 1);
    EXPECT_EQ(historyOnDisk(rig), rig.state->history());
    rig.advance(80ms);
    EXPECT_EQ(rig.desktop.inserted, QStringList{QStringLiteral("So Claude Code and Supabase")});
    EXPECT_EQ(rig.desktop.insertedInto, std::vector{std::optional(FakeDesktop::editor)});

    const HistoryEntry entry = rig.state->history().first();
    EXPECT_EQ(entry.text, QStringLiteral("So Claude Code and Supabase"));
    EXPECT_EQ(entry.raw, QStringLiteral("um so cloud code and supabase"));
    EXPECT_EQ(entry.appName, QStringLiteral("Text Editor"));
    EXPECT_EQ(entry.duration, 1.5);
    ASSERT_TRUE(entry.corrections);
    ASSERT_EQ(entry.corrections->size(), 2);
    for (const AppliedCorrection& correction : *entry.corrections) {
        EXPECT_EQ(entry.text.mid(correction.location, correction.length), correction.written);
    }
    EXPECT_EQ(rig.engine.latest()->vocabulary,
              (QStringList{QStringLiteral("Supabase"), QStringLiteral("Claude Code")}));
}

} // namespace
} // namespace sayloom::testing
