#include "SessionRig.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>

namespace sayloom::testing {
namespace {

using Kind = AppState::Phase::Kind;

// Drives a session through a random sequence of user acts, engine results and time, checking after every step
// what must hold whatever the order of events. A sequence ends with the session quiet again (idle, nothing
// waiting, the key up, the last tap long ago), so sequences can follow each other on one session and each still
// replays alone from its seed.
class RandomSession {
public:
    RandomSession(SessionRig& rig, std::uint64_t seed)
        : m_rig(rig)
        , m_random(seed)
        , m_startsBefore(rig.recorder.starts)
    {
        m_rig.engine.forgetFinishedCalls();
        m_rig.state->clearHistory();
    }

    void run(int steps)
    {
        const std::optional<RunningApplication> fronts[] = {FakeDesktop::editor, FakeDesktop::itself, {}};
        const std::function<void()> acts[] = {
                [&] { scriptNextTake(), m_rig.press(); },
                [&] { scriptNextTake(), m_rig.press(); },
                [&] { m_rig.release(); },
                [&] { m_rig.release(); },
                [&] { scriptNextTake(), m_rig.act("T"); },
                [&] { m_rig.escape(); },
                [&] { m_rig.act("F"); },
                [&] {
                    if (FakeEngine::Call* call = m_rig.engine.latest()) {
                        call->onPartial(QStringLiteral("partial"));
                    }
                    m_rig.recorder.levelFromCaptureThread(float(roll(100)) / 100);
                    pump();
                },
                [&] { m_rig.state->setTrigger(allTriggers()[roll(4)]), pump(); },
                [&] { m_rig.desktop.front = fronts[roll(3)]; }, // the focus moves
                [&] { m_rig.advance(std::chrono::milliseconds(150 + roll(350))); },
                [&] { m_rig.advance(std::chrono::milliseconds(1 + roll(150))); },
                [&] { m_rig.advance(roll(4) == 0 ? 21s : std::chrono::milliseconds(1000 + roll(4000))); },
        };
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            counted(acts[roll(int(std::size(acts)))]);
        }
        // Whatever was left running ends, and nothing is left waiting.
        counted([this] { m_rig.act("E R +30000"); });
        EXPECT_EQ(m_rig.phase(), Kind::idle);
        EXPECT_EQ(m_rig.clock.sleepers(), 0u);
        for (const auto& call : m_rig.engine.calls()) {
            EXPECT_TRUE(call->finished);
        }
    }

private:
    int roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    void scriptNextTake()
    {
        if (m_rig.state->isTakeRunning()) {
            return;
        }
        const int kind = roll(10);
        const bool held = roll(10) < 4;
        const TranscriptionError failure(QStringLiteral("No audio came through from the microphone"));
        m_rig.engine.script(kind < 7   ? FakeEngine::Outcome(u"take " + QString::number(++m_takes))
                            : kind < 8 ? FakeEngine::Outcome(QString())
                                       : FakeEngine::Outcome(failure),
                            held);
    }

    // Runs an act, counts the takes it started and ended, and checks what must hold whatever happened.
    void counted(const std::function<void()>& act)
    {
        const bool wasRunning = m_rig.state->isTakeRunning();
        act();
        const AppState& state = *m_rig.state;
        const bool running = state.isTakeRunning();
        m_started += running && !wasRunning;
        m_ended += wasRunning && !running;
        const Kind phase = state.phase().kind();
        // Every take starts the recorder once and ends once.
        EXPECT_EQ(m_rig.recorder.starts - m_startsBefore, m_started);
        EXPECT_EQ(m_started - m_ended, running ? 1 : 0);
        EXPECT_EQ(running, phase == Kind::recording || phase == Kind::transcribing);
        EXPECT_TRUE(!state.isLocked() || (running && phase == Kind::recording));
        EXPECT_EQ(state.levelHistory().size(), AppState::levelHistoryCount);
        // The microphone is open only for a take: while it records, and at most for the tail after the commit.
        EXPECT_TRUE(!m_rig.recorder.isRecording() || running);
        EXPECT_TRUE(phase != Kind::recording || m_rig.recorder.isRecording());
        for (const HistoryEntry& entry : state.history()) {
            EXPECT_FALSE(entry.text.isEmpty());
        }
        for (const auto& call : m_rig.engine.calls()) {
            const QString* text = std::get_if<QString>(&call->outcome);
            if (call->stopped && text && !text->isEmpty()) {
                const QString delivered = text->at(0).toUpper() + text->mid(1);
                EXPECT_FALSE(std::ranges::any_of(state.history(), [&](const auto& entry) {
                    return entry.text == delivered;
                })) << "a cancelled take was saved";
            }
        }
    }

    SessionRig& m_rig;
    std::mt19937_64 m_random;
    int m_startsBefore;
    int m_takes = 0;
    int m_started = 0;
    int m_ended = 0;
};

std::uint64_t firstSeed()
{
    if (const char* seed = std::getenv("SAYLOOM_SESSION_SEED")) {
        return std::strtoull(seed, nullptr, 10);
    }
    return 20261206;
}

TEST(SessionRandomised, InvariantsHoldThroughRandomSequences)
{
    // Thousands of takes fail or time out on purpose; their log lines would bury the report.
    QLoggingCategory::setFilterRules(QStringLiteral("app.sayloom.pipeline.critical=false"));
    // One session for all: building and tearing down the dictionary's folder watch costs more than a sequence.
    SessionRig rig;
    rig.buildAndStart();
    const std::uint64_t first = firstSeed();
    for (std::uint64_t seed = first; seed < first + 2000; ++seed) {
        RandomSession(rig, seed).run(40);
        if (HasFailure()) {
            ADD_FAILURE() << "reproduce with SAYLOOM_SESSION_SEED=" << seed;
            break;
        }
    }
    QLoggingCategory::setFilterRules({});
}

} // namespace
} // namespace sayloom::testing
