#include "session/Preferences.h"

#include "session/SettingsStore.h"

#include <QUrl>

namespace sayloom {

namespace {

template <typename T, typename Signal>
void assign(Preferences* preferences, T& field, const T& value, Signal changed)
{
    if (field == value) {
        return;
    }
    field = value;
    emit(preferences->*changed)();
}

Trigger readTrigger(const SettingsStore& store)
{
    const std::optional<QString> stored = store.stringValue(Preferences::triggerKey);
    return (stored ? triggerFromRawValue(*stored) : std::nullopt).value_or(Trigger::rightOption);
}

QString readTrimmed(const SettingsStore& store, const QString& key)
{
    return store.stringValue(key).value_or(QString()).trimmed();
}

Preferences::SpeechEngine readSpeechEngine(const SettingsStore& store)
{
    return store.stringValue(Preferences::speechEngineKey) == u"server" ? Preferences::SpeechEngine::server
                                                                        : Preferences::SpeechEngine::pocketsphinx;
}

} // namespace

std::optional<QString> Preferences::serverAddressProblem(const QString& address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || LocalLanguageModel::loopbackURL(trimmed)) {
        return std::nullopt;
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        return QStringLiteral("Enter a full address, such as http://127.0.0.1:8080/v1.");
    }
    if (url.scheme() != u"http" && url.scheme() != u"https") {
        return QStringLiteral("Only http:// and https:// addresses work here.");
    }
    return QStringLiteral("The server must run on this computer (127.0.0.1, ::1 or localhost), so that nothing you "
                          "say leaves it.");
}

Preferences::Preferences(SettingsStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_trigger(readTrigger(store))
    , m_aiCleanupEnabled(store.boolValue(aiCleanupKey).value_or(true))
    , m_soundsEnabled(store.boolValue(soundsKey).value_or(true))
    , m_microphone(store.stringValue(microphoneKey))
    , m_languageModelURL(readTrimmed(store, languageModelURLKey))
    , m_languageModelName(readTrimmed(store, languageModelNameKey))
    , m_speechEngine(readSpeechEngine(store))
    , m_speechServerURL(readTrimmed(store, speechServerURLKey))
    , m_speechServerModel(readTrimmed(store, speechServerModelKey))
    , m_speechServerLanguage(store.stringValue(speechServerLanguageKey).value_or(defaultSpeechServerLanguage).trimmed())
    , m_speechServerAPIKey(readTrimmed(store, speechServerAPIKeyKey))
    , m_pasteKey(readTrimmed(store, pasteKeyKey))
{
    for (auto changed : {&Preferences::speechEngineChanged, &Preferences::speechServerURLChanged,
                         &Preferences::speechServerModelChanged, &Preferences::speechServerLanguageChanged,
                         &Preferences::speechServerAPIKeyChanged}) {
        connect(this, changed, this, &Preferences::speechServerChanged);
    }
}

Preferences::~Preferences() = default;

void Preferences::setTrigger(Trigger trigger)
{
    m_store.setString(triggerKey, rawValue(trigger));
    assign(this, m_trigger, trigger, &Preferences::triggerChanged);
}

void Preferences::setAiCleanupEnabled(bool enabled)
{
    m_store.setBool(aiCleanupKey, enabled);
    assign(this, m_aiCleanupEnabled, enabled, &Preferences::aiCleanupEnabledChanged);
}

void Preferences::setSoundsEnabled(bool enabled)
{
    m_store.setBool(soundsKey, enabled);
    assign(this, m_soundsEnabled, enabled, &Preferences::soundsEnabledChanged);
}

void Preferences::setMicrophone(const MicrophonePreference& microphone)
{
    m_store.setString(microphoneKey, microphone.storedValue());
    assign(this, m_microphone, microphone, &Preferences::microphoneChanged);
}

void Preferences::setLanguageModelURL(const QString& url)
{
    const QString trimmed = url.trimmed();
    m_store.setString(languageModelURLKey, trimmed);
    assign(this, m_languageModelURL, trimmed, &Preferences::languageModelURLChanged);
}

void Preferences::setLanguageModelName(const QString& name)
{
    const QString trimmed = name.trimmed();
    m_store.setString(languageModelNameKey, trimmed);
    assign(this, m_languageModelName, trimmed, &Preferences::languageModelNameChanged);
}

ServerSpeechEngine::Configuration Preferences::speechServer() const
{
    return ServerSpeechEngine::Configuration{m_speechEngine == SpeechEngine::server, m_speechServerURL,
                                             m_speechServerModel, m_speechServerLanguage, m_speechServerAPIKey};
}

void Preferences::setSpeechEngine(SpeechEngine engine)
{
    m_store.setString(speechEngineKey,
                      engine == SpeechEngine::server ? QStringLiteral("server") : QStringLiteral("pocketsphinx"));
    assign(this, m_speechEngine, engine, &Preferences::speechEngineChanged);
}

void Preferences::setSpeechServerURL(const QString& url)
{
    const QString trimmed = url.trimmed();
    m_store.setString(speechServerURLKey, trimmed);
    assign(this, m_speechServerURL, trimmed, &Preferences::speechServerURLChanged);
}

void Preferences::setSpeechServerModel(const QString& model)
{
    const QString trimmed = model.trimmed();
    m_store.setString(speechServerModelKey, trimmed);
    assign(this, m_speechServerModel, trimmed, &Preferences::speechServerModelChanged);
}

void Preferences::setSpeechServerLanguage(const QString& language)
{
    const QString trimmed = language.trimmed();
    m_store.setString(speechServerLanguageKey, trimmed);
    assign(this, m_speechServerLanguage, trimmed, &Preferences::speechServerLanguageChanged);
}

void Preferences::setSpeechServerAPIKey(const QString& key)
{
    const QString trimmed = key.trimmed();
    m_store.setString(speechServerAPIKeyKey, trimmed);
    assign(this, m_speechServerAPIKey, trimmed, &Preferences::speechServerAPIKeyChanged);
}

} // namespace sayloom
