#pragma once

#include "audio/AudioBuffer.h"
#include "speech/SphinxEngine.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace sayloom {

// One synthesised recording of the corpus script, as its manifest describes it.
struct CorpusFile {
    QString path;
    QString voice;
    QString rateAndChannels;
    bool noise = false;
    QString text;
    QStringList products;
};

// The first `limit` sentences of a corpus set, synthesised by scripts/make-speech-corpus into a folder of the build
// tree on first use; later runs find the files there.
std::vector<CorpusFile> speechCorpus(const QString& set, int limit);

// A 16-bit PCM WAV file as it is stored.
struct WavAudio {
    AudioFormat format;
    std::vector<std::int16_t> samples;
};
WavAudio readWav(const QString& path);

// The file cut into buffers of about `milliseconds` each. With `asRecorderFormat` (16 kHz mono files only) the
// samples become 32-bit float, non-interleaved, as the recorder delivers them; otherwise they keep the file's format.
std::vector<AudioBufferPtr> cutIntoChunks(const WavAudio& audio, int milliseconds, bool asRecorderFormat);
// `frames` frames of silence in `format`.
AudioBufferPtr silence(const AudioFormat& format, std::uint32_t frames);
AudioFormat recorderFormat();

// Lower case words without punctuation.
QStringList words(const QString& text);
// Substitutions, deletions and insertions over the reference's word count.
double wordErrorRate(const QString& reference, const QString& hypothesis);

// What one take came to.
struct TakeOutcome {
    std::optional<QString> text;
    std::optional<QString> error;
    QStringList partials;
    bool partialsOnMainThread = false;
    bool finished = false;
};

struct TakeOptions {
    QStringList vocabulary;
    std::stop_token stop;
    // The stream is left open after the chunks, as if the microphone were still recording.
    bool keepStreamOpen = false;
    // Called with each partial on the engine's thread, after it is recorded.
    std::function<void(const QString&)> onPartial;
    // With `keepStreamOpen`: the stream is finished at the first partial this accepts.
    std::function<bool(const QString&)> finishWhen;
};

// Feeds `chunks` through one take and runs the event loop until `transcribe` settles, or gives up after `limit`
// (then `finished` is false).
TakeOutcome runTake(SphinxEngine& engine, const std::vector<AudioBufferPtr>& chunks, TakeOptions options = {},
                    std::chrono::seconds limit = std::chrono::seconds(90));

// Runs the event loop until `done` says so, or `limit` has passed.
void runEventLoopUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(90));

// Runs the event loop until `prepare` settles; the failure text, if any.
std::optional<QString> runPrepare(SphinxEngine& engine);

} // namespace sayloom
