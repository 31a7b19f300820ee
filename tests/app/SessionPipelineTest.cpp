#include "History.h"
#include "SessionRig.h"

#include <QFile>
#include <QSettings>

#include <functional>
#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;

QString lastMessage(const FakeOverlay& overlay)
{
    for (auto mode = overlay.shown.rbegin(); mode != overlay.shown.rend(); ++mode) {
        if (mode->kind() == OverlayMode::Kind::message) {
            return mode->text();
        }
    }
    return {};
}

QList<HistoryEntry> historyOnDisk(const SessionRig& rig)
{
    QSettings unused(rig.path(QStringLiteral("unused.ini")), QSettings::IniFormat);
    return History::load(unused, rig.path(QStringLiteral("History.json")));
}

// How one committed take ends: what the engine does, and what the user sees and keeps afterwards.
struct Delivery {
    const char* name;
    std::function<void(SessionRig&)> arrange;
    std::variant<QString, TranscriptionError> outcome;
    // Time from the release until the outcome is checked.
    std::chrono::milliseconds after;
    QString message;
    std::chrono::milliseconds hiddenAfter;
    Kind phase;
    QStringList inserted;
    qsizetype saved;
    QString clipboard;
};

void noArrangement(SessionRig&) {}

const Delivery deliveries[] = {
        {"InsertedIntoTheTargetWindow",
         noArrangement,
         QStringLiteral("hello world"),
         1s,
         {},
         0ms,
         Kind::idle,
         {QStringLiteral("Hello world")},
         1,
         {}},
        {"EmptyTranscript",
         noArrangement,
         QString(),
         1s,
         QStringLiteral("Didn't catch that"),
         2s,
         Kind::idle,
         {},
         0,
         {}},
        {"NothingLeftAfterCleanup",
         noArrangement,
         QStringLiteral("um uh"),
         1s,
         QStringLiteral("Didn't catch that"),
         2s,
         Kind::idle,
         {},
         0,
         {}},
        {"StartedFromOwnWindow",
         [](SessionRig& rig) { rig.applications.front = FakeApplications::itself(); },
         QStringLiteral("hello world"),
         1s,
         QStringLiteral("Copied to clipboard"),
         2s,
         Kind::idle,
         {},
         1,
         QStringLiteral("Hello world")},
        {"WithoutAccessibility",
         [](SessionRig& rig) {
             rig.accessibility.trusted = false;
             rig.buildAndStart();
         },
         QStringLiteral("hello world"),
         1s,
         QStringLiteral("Copied — grant Accessibility so Sayloom can type"),
         3s,
         Kind::error,
         {},
         1,
         QStringLiteral("Hello world")},
        {"RecognitionFails",
         noArrangement,
         TranscriptionError(QStringLiteral("No audio came through from the microphone")),
         1s,
         QStringLiteral("No audio came through from the microphone"),
         3s,
         Kind::error,
         {},
         0,
         {}},
        {"RecognitionNeverEnds",
         [](SessionRig& rig) { rig.engine.script(QStringLiteral("too late"), true); },
         QStringLiteral("too late"),
         AppState::processingTimeout,
         QStringLiteral("Took too long — try again"),
         3s,
         Kind::error,
         {},
         0,
         {}},
};

class SessionDeliveries : public ::testing::TestWithParam<Delivery> {
protected:
    SessionRig rig;
};

TEST_P(SessionDeliveries, EndTheTakeOnce)
{
    const Delivery& row = GetParam();
    rig.buildAndStart();
    rig.engine.script(row.outcome);
    row.arrange(rig);
    rig.hold(1s);
    rig.advance(row.after);
    EXPECT_EQ(rig.phase(), row.phase);
    EXPECT_FALSE(rig.state->isTakeRunning());
    EXPECT_EQ(lastMessage(rig.overlay), row.message);
    EXPECT_EQ(rig.overlay.hides.back(), row.hiddenAfter);
    EXPECT_EQ(rig.inserter.inserted, row.inserted);
    EXPECT_EQ(rig.state->history().size(), row.saved);
    EXPECT_EQ(historyOnDisk(rig).size(), row.saved);
    EXPECT_EQ(rig.clipboard.text, row.clipboard);
    EXPECT_FALSE(rig.recorder.isRecording());

    rig.advance(AppState::errorDuration);
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_EQ(rig.inserter.inserted, row.inserted);
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
    rig.engine.script(QStringLiteral("one"), true);
    rig.hold(1s);
    rig.advance(299ms);
    EXPECT_TRUE(rig.recorder.isRecording());
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 0);
    rig.advance(1ms);
    EXPECT_FALSE(rig.recorder.isRecording());
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 1);
    rig.escape();
    rig.release();

    // Cancelled within the tail: stopped by the cancel, not again by the tail, and no stop sound.
    rig.advance(1s);
    rig.hold(1s);
    rig.advance(100ms);
    rig.escape();
    EXPECT_EQ(rig.recorder.stops, 2);
    rig.advance(1s);
    EXPECT_EQ(rig.recorder.stops, 2);
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 1);
    EXPECT_EQ(rig.state->lastDuration(), 1.0);
}

TEST_F(SessionPipeline, EscapeWhileProcessingInsertsNothingAndDisarmsTheWatchdog)
{
    rig.engine.script(QStringLiteral("never typed"), true);
    rig.hold(1s);
    rig.advance(2s);
    rig.escape();
    EXPECT_EQ(lastMessage(rig.overlay), QStringLiteral("Cancelled"));
    EXPECT_EQ(rig.overlay.hides.back(), 1s);
    EXPECT_TRUE(rig.engine.latest()->finished); // the engine was asked to stop
    rig.advance(30s);
    EXPECT_EQ(lastMessage(rig.overlay), QStringLiteral("Cancelled"));
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_TRUE(rig.inserter.inserted.isEmpty());
    EXPECT_TRUE(rig.state->history().isEmpty());
}

TEST(SessionWatchdog, ASecondTakeIsNotHitByTheFirstTakesWatchdog)
{
    // However the first take ended: delivered, cancelled while processing, or failed.
    const std::function<void(SessionRig&)> endings[] = {
            [](SessionRig& rig) { rig.dictate(QStringLiteral("first")); },
            [](SessionRig& rig) {
                rig.engine.script(QStringLiteral("first"), true);
                rig.hold(1s);
                rig.advance(500ms);
                rig.escape();
                rig.release();
            },
            [](SessionRig& rig) {
                rig.engine.script(TranscriptionError(QStringLiteral("Speech recognition stopped")));
                rig.hold(1s);
                rig.advance(500ms);
            },
    };
    for (const auto& endFirstTake : endings) {
        SessionRig rig;
        rig.buildAndStart();
        endFirstTake(rig);
        EXPECT_FALSE(rig.state->isTakeRunning());
        rig.advance(5s);
        const std::size_t messages = rig.overlay.shown.size();
        rig.engine.script(QStringLiteral("second"), true);
        rig.hold(1s);
        // The first take's watchdog wakes 20 s after its commit, about 14 s into the second take's processing.
        rig.advance(16s);
        EXPECT_EQ(rig.phase(), Kind::transcribing);
        EXPECT_TRUE(rig.state->isTakeRunning());
        EXPECT_EQ(rig.overlay.shown.size(), messages + 2); // listening, processing
        // Its own watchdog does end it.
        rig.advance(4s);
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

    // Somewhere else has the focus when the text is ready: the target is brought back first.
    rig.engine.script(QStringLiteral("um so cloud code and supabase"));
    rig.press();
    rig.applications.front = RunningApplication{QStringLiteral("77"), QStringLiteral("org.kde.konsole"), {}};
    rig.advance(1500ms);
    rig.release();
    rig.advance(AppState::tailDuration);
    EXPECT_EQ(rig.applications.activated, QStringList{QStringLiteral("4242")});
    EXPECT_TRUE(rig.inserter.inserted.isEmpty()); // waits 80 ms for the window to take the focus
    ASSERT_EQ(rig.state->history().size(), 1);
    rig.advance(80ms);
    EXPECT_EQ(rig.inserter.inserted, QStringList{QStringLiteral("So Claude Code and Supabase")});

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
    rig.advance(1s);
    EXPECT_EQ(historyOnDisk(rig), rig.state->history());
}

TEST_F(SessionPipeline, TheHistoryKeepsTheNewestThousand)
{
    QList<HistoryEntry> full;
    for (int i = 0; i < 1000; ++i) {
        HistoryEntry entry;
        entry.text = QString::number(i);
        entry.raw = entry.text;
        full.append(entry);
    }
    ASSERT_TRUE(History::save(full, rig.path(QStringLiteral("History.json"))));
    rig.buildAndStart();
    ASSERT_EQ(rig.state->history().size(), 1000);

    rig.dictate(QStringLiteral("newest"));
    ASSERT_EQ(rig.state->history().size(), 1000);
    EXPECT_EQ(rig.state->history().first().text, QStringLiteral("Newest"));
    EXPECT_EQ(rig.state->history().last().text, QStringLiteral("998"));
    EXPECT_EQ(historyOnDisk(rig), rig.state->history());

    rig.state->deleteHistoryEntry(rig.state->history()[1]);
    EXPECT_EQ(rig.state->history().size(), 999);
    EXPECT_EQ(rig.state->history()[1].text, QStringLiteral("1"));
    EXPECT_EQ(historyOnDisk(rig).size(), 999);
    rig.state->clearHistory();
    EXPECT_TRUE(rig.state->history().isEmpty());
    QFile file(rig.path(QStringLiteral("History.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[]"));
}

// The engine gives up while a hands-free take is still recording: the microphone must not stay open and the lock
// must not outlive the take, or the next press would only "finish" a take that no longer exists.
TEST_F(SessionPipeline, AnEngineFailureWhileRecordingEndsTheRecordingToo)
{
    rig.engine.script(TranscriptionError(QStringLiteral("Speech recognition stopped")), true);
    rig.toggle();
    rig.recorder.levelFromCaptureThread(0.5f);
    rig.advance(2s);
    rig.engine.finish();
    pump();
    EXPECT_EQ(rig.state->phase(), AppState::Phase::error(QStringLiteral("Speech recognition stopped")));
    EXPECT_FALSE(rig.state->isLocked());
    EXPECT_FALSE(rig.recorder.isRecording());
    EXPECT_EQ(rig.state->levelHistory(), QList<float>(48, 0.0f));
    EXPECT_EQ(rig.state->recordingStartedAt(), std::nullopt);
    EXPECT_EQ(rig.state->lastDuration(), 2.0);

    rig.press();
    EXPECT_EQ(rig.phase(), Kind::recording);
    EXPECT_TRUE(rig.recorder.isRecording());
}

// The same within the tail: the take ends before the tail could stop the recorder.
TEST_F(SessionPipeline, ATakeThatEndsWithinTheTailStillStopsTheRecorder)
{
    rig.engine.script(TranscriptionError(QStringLiteral("Speech recognition stopped")), true);
    rig.hold(1s);
    rig.advance(100ms);
    rig.engine.finish();
    rig.advance(100ms);
    EXPECT_EQ(rig.phase(), Kind::error);
    EXPECT_FALSE(rig.recorder.isRecording());
    rig.advance(1s);
    EXPECT_EQ(rig.sounds.count(Sounds::Cue::end), 0);
}

// Audio that ends before the user lets go (the sound server went away) is dictated as it is, once.
TEST_F(SessionPipeline, AudioEndingBeforeTheReleaseCommitsTheTake)
{
    rig.engine.script(QStringLiteral("cut short"), true);
    rig.press();
    rig.advance(2s);
    rig.engine.finish();
    rig.advance(1s);
    EXPECT_EQ(rig.inserter.inserted, QStringList{QStringLiteral("Cut short")});
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_FALSE(rig.recorder.isRecording());
    EXPECT_EQ(rig.state->history().first().duration, 2.0);
    rig.release();
    rig.advance(30s);
    EXPECT_EQ(rig.inserter.inserted.size(), 1);
    EXPECT_EQ(rig.phase(), Kind::idle);
}

// A take whose text is already being pasted when the 20 s run out has succeeded; reporting it as too slow would
// make the user dictate it a second time.
TEST_F(SessionPipeline, TheWatchdogLeavesATakeAloneOnceItsTextIsBeingDelivered)
{
    rig.engine.script(QStringLiteral("just in time"), true);
    rig.hold(1s);
    rig.advance(19800ms);
    rig.engine.finish();
    pump();
    EXPECT_EQ(rig.inserter.inserted, QStringList{QStringLiteral("Just in time")});
    rig.advance(1s); // the watchdog wakes while the paste completes
    EXPECT_EQ(rig.inserter.completed, 1);
    EXPECT_EQ(rig.phase(), Kind::idle);
    EXPECT_EQ(lastMessage(rig.overlay), QString());
}

} // namespace
} // namespace sayloom::testing
