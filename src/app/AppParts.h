#pragma once

#include "dictionary/DictionaryStore.h"
#include "history/HistoryStore.h"
#include "session/Preferences.h"
#include "session/PulseInputDevices.h"
#include "session/PulseRecorder.h"
#include "session/QSettingsStore.h"
#include "session/SessionParts.h"
#include "session/SystemClock.h"
#include "speech/ServerSpeechEngine.h"
#include "speech/SphinxEngine.h"
#include "text/LocalLanguageModel.h"

#include <memory>

namespace sayloom {

// The real parts that are the same on every desktop, built once and owned for the life of the application: the
// settings, the dictionary and the history over the user's files in their standard places, the recorder and the
// live microphone list, the speech engine, the local language model (which follows its settings and checks the
// server now and then) and the clock.
class AppParts final {
public:
    AppParts();
    AppParts(const AppParts&) = delete;
    AppParts& operator=(const AppParts&) = delete;
    ~AppParts();

    // Everything the session needs, with the desktop's parts; valid while this object lives.
    SessionParts sessionParts(const DesktopParts& desktop);

    Preferences& preferences() { return m_preferences; }
    DictionaryStore& dictionary() { return m_dictionary; }
    HistoryStore& history() { return m_history; }
    InputDevices& inputDevices() { return m_inputDevices; }
    ServerSpeechEngine& speechEngine() { return m_engine; }
    Clock& clock() { return m_clock; }
    LocalLanguageModel& languageModel() { return *m_languageModel; }

private:
    QSettingsStore m_settings;
    Preferences m_preferences;
    DictionaryStore m_dictionary;
    HistoryStore m_history;
    SystemClock m_clock;
    PulseRecorder m_recorder;
    PulseInputDevices m_inputDevices;
    SphinxEngine m_sphinx;
    // PocketSphinx, or a local speech server with PocketSphinx beside it, as the settings say.
    ServerSpeechEngine m_engine;
    std::shared_ptr<LocalLanguageModel> m_languageModel;
};

} // namespace sayloom
