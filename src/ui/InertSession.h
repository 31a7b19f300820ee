#pragma once

#include "dictionary/DictionaryStore.h"
#include "history/HistoryStore.h"
#include "session/AppState.h"
#include "session/Preferences.h"
#include "session/QSettingsStore.h"
#include "session/SystemClock.h"
#include "ui/WindowParts.h"

#include <QTemporaryDir>

#include <memory>

namespace sayloom {

// A session that can do nothing, for drawing the screens without the user's files or devices: its settings,
// dictionary and history live in a temporary folder, and its microphone, engine, hotkey, pill, paste and sounds
// are stand-ins that never touch the hardware, the sound server or the display. A take started on it fails with
// "Microphone access is off", as nothing asks for the microphone.
class InertSession final {
public:
    // Starts with `history` as its saved dictations.
    explicit InertSession(const QList<HistoryEntry>& history = {});
    InertSession(const InertSession&) = delete;
    InertSession& operator=(const InertSession&) = delete;
    ~InertSession();

    AppState& state() { return *m_state; }
    Clock& clock() { return m_clock; }
    Permissions& permissions();
    // The windows' parts over this session: no microphone, launch at login that is off and cannot change, files
    // that open nowhere.
    WindowParts windowParts();

private:
    class Desktop;

    QTemporaryDir m_folder;
    SystemClock m_clock;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<QSettingsStore> m_settings;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<DictionaryStore> m_dictionary;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<AppState> m_state;
};

} // namespace sayloom
