#include "speech/SphinxEngine.h"

#include "base/Timeout.h"
#include "speech/DecoderSlot.h"
#include "speech/SpeechLog.h"
#include "speech/SphinxDecoder.h"
#include "speech/SphinxTake.h"

#include <QCoroFuture>
#include <QLocale>
#include <QPromise>

#include <thread>

namespace sayloom {

using namespace Qt::StringLiterals;

struct SphinxEngine::Shared {
    std::shared_ptr<DecoderSlot> slot = std::make_shared<DecoderSlot>();
    // The model load under way, or the last one; its result is the failure text. Main thread only.
    QFuture<std::optional<QString>> loading;
    // Stops every take when the engine goes away.
    std::stop_source shutdown;
};

namespace {

QString unsupportedLocale(const QString& identifier)
{
    return u"On-device speech doesn't support "_s + identifier + u" yet"_s;
}

} // namespace

SphinxEngine::SphinxEngine()
    : SphinxEngine(Options{})
{
}

SphinxEngine::SphinxEngine(Options options)
    : m_options(std::move(options))
    , m_shared(std::make_shared<Shared>())
{
    if (m_options.modelDirectory.isEmpty()) {
        m_options.modelDirectory = defaultModelDirectory();
    }
}

SphinxEngine::~SphinxEngine()
{
    m_shared->shutdown.request_stop();
    // A take's worker stops within one block of audio; a model load can't be interrupted but ends by itself.
    if (!m_shared->slot->waitForThreads(std::chrono::seconds(10))) {
        qCWarning(lcSpeech) << "A speech worker was still running when the engine went away";
    }
}

QString SphinxEngine::name() const
{
    return u"PocketSphinx"_s;
}

QString SphinxEngine::localeName() const
{
    if (!m_options.localeName.isEmpty()) {
        return m_options.localeName;
    }
    return QLocale::system().name();
}

AudioFormat SphinxEngine::recognizerFormat()
{
    return AudioFormat{16000, 1, SampleType::int16, true};
}

bool SphinxEngine::supportsLocale(const QString& localeName)
{
    if (localeName == u"C"_s || localeName == u"POSIX"_s) {
        return true;
    }
    // "en", "en_US", "en-GB", "en_US.UTF-8", "en@euro": the language part alone decides.
    const QString language = localeName.section(u'_', 0, 0).section(u'-', 0, 0).section(u'.', 0, 0).section(u'@', 0, 0);
    return language.compare(u"en"_s, Qt::CaseInsensitive) == 0;
}

QString SphinxEngine::defaultModelDirectory()
{
    return u"/usr/share/pocketsphinx/model/en-us"_s;
}

QCoro::Task<void> SphinxEngine::prepare()
{
    const QString locale = localeName();
    if (!supportsLocale(locale)) {
        throw TranscriptionError(unsupportedLocale(locale));
    }
    const std::shared_ptr<Shared> shared = m_shared;
    if (shared->slot->isLoaded()) {
        co_return;
    }
    // One load at a time; a failed one is tried again (the model may have been installed since).
    if (!shared->loading.isValid() || (shared->loading.isFinished() && shared->loading.result())) {
        QPromise<std::optional<QString>> promise;
        shared->loading = promise.future();
        promise.start();
        shared->slot->threadStarted();
        // Loading reads about 40 MB and takes a few hundred milliseconds: never on the caller's thread.
        std::thread([slot = shared->slot, directory = m_options.modelDirectory,
                     promise = std::move(promise)]() mutable {
            std::optional<QString> failure;
            try {
                slot->install(SphinxDecoder::load(directory));
            } catch (const TranscriptionError& error) {
                failure = error.description();
            }
            promise.addResult(failure);
            promise.finish();
            slot->threadFinished();
        }).detach();
    }
    QFuture<std::optional<QString>> loading = shared->loading;
    const std::optional<QString> failure = co_await loading;
    if (failure) {
        throw TranscriptionError(*failure);
    }
}

QCoro::Task<QString> SphinxEngine::transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                              PartialHandler onPartial, std::stop_token stop)
{
    // Chunks carry their own format; the converter follows each chunk's, so the announced one is only a hint.
    Q_UNUSED(format);
    const QString locale = localeName();
    if (!supportsLocale(locale)) {
        throw TranscriptionError(unsupportedLocale(locale));
    }
    // The engine may go away while a take is finishing; everything the coroutine needs later is held here.
    const std::shared_ptr<Shared> shared = m_shared;
    const std::chrono::milliseconds finalizeTimeout = m_options.finalizeTimeout;
    if (!shared->slot->isLoaded()) {
        QCoro::Task<void> preparing = prepare();
        co_await preparing;
    }

    auto take =
            std::make_shared<SphinxTake>(shared->slot, std::move(audio), std::move(vocabulary), std::move(onPartial));
    take->start(stop, shared->shutdown.get_token());

    QFuture<SphinxTake::InputEnd> inputEnded = take->inputEnded();
    const SphinxTake::InputEnd input = co_await inputEnded;
    if (input.failure) {
        take->cancel();
        throw TranscriptionError(*input.failure);
    }
    if (input.stopped) {
        take->cancel();
        co_return take->text().trimmed();
    }
    if (input.chunkCount < 1) {
        take->cancel();
        throw TranscriptionError(u"No audio came through from the microphone"_s);
    }

    // The stream has ended: the worker decodes what is still buffered and finishes the last utterance.
    auto finish = [take](std::stop_token) -> QCoro::Task<bool> {
        QFuture<std::optional<QString>> finished = take->finished();
        const std::optional<QString> failure = co_await finished;
        if (failure) {
            throw TranscriptionError(*failure);
        }
        co_return true;
    };
    QCoro::Task<std::optional<bool>> finishing = withTimeout(finalizeTimeout, std::move(finish));
    const std::optional<bool> finished = co_await finishing;
    if (!finished) {
        qCDebug(lcSpeech) << "Finishing the take took longer than" << finalizeTimeout.count()
                          << "ms; returning what was recognised";
        take->cancel();
    }
    co_return take->text().trimmed();
}

} // namespace sayloom
