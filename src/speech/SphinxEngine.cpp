#include "SphinxEngine.h"

#include <QLocale>

namespace sayloom {

using namespace Qt::StringLiterals;

struct SphinxEngine::Shared {};

SphinxEngine::SphinxEngine()
    : SphinxEngine(Options{})
{
}

SphinxEngine::SphinxEngine(Options options)
    : m_options(std::move(options))
    , m_shared(std::make_shared<Shared>())
{
}

SphinxEngine::~SphinxEngine() = default;

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
    return localeName == u"C"_s || localeName == u"POSIX"_s || localeName.startsWith(u"en"_s);
}

QString SphinxEngine::defaultModelDirectory()
{
    return u"/usr/share/pocketsphinx/model/en-us"_s;
}

QCoro::Task<void> SphinxEngine::prepare()
{
    if (!supportsLocale(localeName())) {
        throw TranscriptionError(u"On-device speech doesn't support "_s + localeName() + u" yet"_s);
    }
    co_return;
}

QCoro::Task<QString> SphinxEngine::transcribe(AudioStream, AudioFormat, QStringList, PartialHandler, std::stop_token)
{
    if (!supportsLocale(localeName())) {
        throw TranscriptionError(u"On-device speech doesn't support "_s + localeName() + u" yet"_s);
    }
    throw TranscriptionError(u"PocketSphinx isn't ready yet"_s);
    co_return QString();
}

} // namespace sayloom
