#include "app/AppParts.h"

#include "base/AppPaths.h"

namespace sayloom {

AppParts::AppParts()
    : m_preferences(m_settings)
    , m_dictionary(AppPaths::dictionary(), m_settings.settings())
    , m_history(AppPaths::history(), m_settings.settings())
    , m_engine(m_sphinx, m_preferences.speechServer())
    , m_languageModel(std::make_shared<LocalLanguageModel>(m_preferences.languageModel()))
{
    const auto configure = [this] { m_languageModel->setConfiguration(m_preferences.languageModel()); };
    QObject::connect(&m_preferences, &Preferences::languageModelURLChanged, m_languageModel.get(), configure);
    QObject::connect(&m_preferences, &Preferences::languageModelNameChanged, m_languageModel.get(), configure);
    m_languageModel->startMonitoring();
    QObject::connect(&m_preferences, &Preferences::speechServerChanged, &m_engine,
                     [this] { m_engine.setConfiguration(m_preferences.speechServer()); });
    m_engine.startMonitoring();
}

AppParts::~AppParts() = default;

SessionParts AppParts::sessionParts(const DesktopParts& desktop)
{
    return SessionParts{.clock = m_clock,
                        .preferences = m_preferences,
                        .dictionary = m_dictionary,
                        .history = m_history,
                        .recorder = m_recorder,
                        .inputDevices = m_inputDevices,
                        .engine = m_engine,
                        .languageModel = m_languageModel,
                        .desktop = desktop};
}

} // namespace sayloom
