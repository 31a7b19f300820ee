// The cleanup's own costs: the basic polisher on a long dictation, judging a model's answer, and everything the
// language-model polisher adds around a request when the server answers at once.

#include "BenchmarkMain.h"
#include "support/ScriptedHttpServer.h"
#include "text/AIPolisher.h"
#include "text/BasicPolisher.h"
#include "text/LocalLanguageModel.h"

#include <QCoroTask>
#include <QStringList>

#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace sayloom;
using namespace Qt::StringLiterals;

const QStringList vocabulary{u"the"_s,     u"meeting"_s, u"is"_s,      u"on"_s,     u"friday"_s, u"we"_s,
                             u"should"_s,  u"ship"_s,    u"release"_s, u"notes"_s,  u"to"_s,     u"customers"_s,
                             u"before"_s,  u"lunch"_s,   u"and"_s,     u"then"_s,   u"review"_s, u"dashboard"_s,
                             u"numbers"_s, u"with"_s,    u"team"_s,    u"iPhone"_s, u"x86"_s,    u"café"_s,
                             u"don't"_s,   u"it's"_s};

// Dictation-like text: ordinary words with fillers, stutters, layout commands and sentence ends mixed in.
QString transcript(int words, unsigned seed)
{
    std::mt19937 random(seed);
    QStringList out;
    for (int i = 0; i < words; ++i) {
        const unsigned roll = random() % 100;
        if (roll < 4) {
            out.append(u"um"_s);
        } else if (roll < 6) {
            out.append(u"uh,"_s);
        } else if (roll < 8 && !out.isEmpty()) {
            out.append(out.last());
        } else if (roll < 9) {
            out.append(u"new line"_s);
        } else if (roll < 10) {
            out.append(u"new paragraph"_s);
        } else {
            QString word = vocabulary[int(random() % unsigned(vocabulary.size()))];
            if (roll > 93) {
                word += u'.';
            }
            out.append(word);
        }
    }
    return out.join(u' ');
}

void BM_BasicPolisher5000Words(benchmark::State& state)
{
    const QString text = transcript(5000, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BasicPolisher::polished(text));
    }
    state.SetLabel(QStringLiteral("%1 characters").arg(text.size()).toStdString());
}
BENCHMARK(BM_BasicPolisher5000Words)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_Validated200Words(benchmark::State& state)
{
    const QString raw = transcript(200, 2).replace(u"new paragraph"_s, u"then"_s).replace(u"new line"_s, u"and"_s);
    const QString answer = BasicPolisher::polished(raw);
    if (!AIPolisher::validated(answer, raw)) {
        state.SkipWithError("the answer should pass");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(AIPolisher::validated(answer, raw));
    }
}
BENCHMARK(BM_Validated200Words)->Unit(benchmark::kMicrosecond);

// One paragraph through the language-model polisher against a loopback server that echoes at once: the time is
// the polisher's own work plus one local HTTP round trip, an upper bound on its overhead.
void BM_AIPolisherParagraphWithInstantServer(benchmark::State& state)
{
    sayloom::test::ScriptedHttpServer server;
    auto model = std::make_shared<LocalLanguageModel>(LocalLanguageModel::Configuration{server.baseURL(), {}});
    if (QCoro::waitFor(model->probe()) != LanguageModelAvailability::available) {
        state.SkipWithError("the scripted server is not available");
        return;
    }
    AIPolisher polisher(model);
    const QString paragraph = transcript(40, 3).replace(u"new paragraph"_s, u"then"_s).replace(u"new line"_s, u"so"_s);
    for (auto _ : state) {
        benchmark::DoNotOptimize(QCoro::waitFor(polisher.polish(paragraph, PolishContext{})));
    }
    const int requests = int(server.chatRequests().size());
    if (requests != int(state.iterations())) {
        state.SkipWithError("not every paragraph reached the server");
    }
}
BENCHMARK(BM_AIPolisherParagraphWithInstantServer)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    return sayloom::runBenchmarks(argc, argv);
}
