#pragma once

#include "SessionFakes.h"
#include "dictionary/DictionaryStore.h"
#include "history/HistoryStore.h"
#include "session/AppState.h"
#include "session/QSettingsStore.h"
#include "support/Printers.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>

namespace sayloom {

inline void PrintTo(AppState::Phase::Kind kind, std::ostream* out)
{
    static const char* const names[] = {"idle", "recording", "transcribing", "error"};
    *out << names[int(kind)];
}

inline void PrintTo(const OverlayMode& mode, std::ostream* out)
{
    static const char* const names[] = {"listening", "message", "hidden", "processing"};
    *out << names[int(mode.kind())] << (mode.isLocked() ? "(locked) " : " ") << mode.text().toStdString();
}

namespace testing {

// One session over the fakes, with real settings, dictionary and history files in a temporary folder (in memory
// where there is one: every history save syncs to the disk). The helpers act like the user and let the event loop
// run after every act.
class SessionRig {
public:
    SessionRig()
        : m_dir(QDir(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath())
                        .filePath(QStringLiteral("sayloom-session-XXXXXX")))
    {
        recorder.onStreamEnd = [this] { engine.finish(false); };
    }
    ~SessionRig() { state.reset(), pump(); }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Builds the session over the files as they are now.
    void build()
    {
        state.reset(), history.reset(), dictionary.reset(), preferences.reset(), settings.reset();
        settings = std::make_unique<QSettingsStore>(path(QStringLiteral("settings.ini")));
        preferences = std::make_unique<Preferences>(*settings);
        dictionary = std::make_unique<DictionaryStore>(path(QStringLiteral("Dictionary.txt")), settings->settings());
        history = std::make_unique<HistoryStore>(path(QStringLiteral("History.json")), settings->settings());
        state = std::make_unique<AppState>(
                SessionParts{.clock = clock,
                             .preferences = *preferences,
                             .dictionary = *dictionary,
                             .history = *history,
                             .recorder = recorder,
                             .inputDevices = desktop,
                             .engine = engine,
                             .languageModel = model,
                             .desktop = {hotkeys, desktop, desktop, desktop, desktop, desktop, desktop, desktop}});
    }
    void buildAndStart() { build(), state->start(), pump(); }

    void press() { hotkeys.key(true), pump(); }
    void release() { hotkeys.key(false), pump(); }
    void escape() { hotkeys.onCancel(), pump(); }
    void advance(std::chrono::milliseconds duration) { clock.advance(duration); }

    // Plays a script of space-separated acts: P press, R release, r a release the session did not hear pressed,
    // T toggle, E Escape, F the engine finishes, K the trigger is changed in the settings, +N N milliseconds pass;
    // and arrangements: h the next recognition is held until F, x the recorder cannot start, o this application has
    // the focus, and (rebuilding the session) m the microphone is denied, a accessibility is not granted.
    void act(const char* script)
    {
        const std::map<char, std::function<void()>> acts{
                {'P', [this] { press(); }},
                {'R', [this] { release(); }},
                {'r', [this] { hotkeys.onChange(false), pump(); }},
                {'T', [this] { state->toggleRecording(), pump(); }},
                {'E', [this] { escape(); }},
                {'F', [this] { engine.finish(), pump(); }},
                {'K', [this] { preferences->setTrigger(Trigger::rightControl), pump(); }},
                {'h', [this] { engine.script(QStringLiteral("hello"), true); }},
                {'x', [this] { recorder.failure = AudioRecorderError::noMicrophone(); }},
                {'o', [this] { desktop.front = FakeDesktop::itself; }},
                {'m', [this] { desktop.microphone = false, buildAndStart(); }},
                {'a', [this] { desktop.trusted = false, buildAndStart(); }},
        };
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            if (word[0] == '+') {
                advance(std::chrono::milliseconds(std::stoi(word.substr(1))));
            } else if (acts.contains(word[0])) {
                acts.at(word[0])();
            } else {
                ADD_FAILURE() << "unknown act " << word;
            }
        }
    }
    // A whole take: `transcript` is recognised from a 1 s hold; the tail ends the audio and the text is delivered.
    void dictate(const QString& transcript)
    {
        engine.script(transcript);
        act("P +1000 R +300 +300");
    }

    AppState::Phase::Kind phase() const { return state->phase().kind(); }

    FakeClock clock;
    FakeRecorder recorder;
    FakeEngine engine;
    std::shared_ptr<FakeLanguageModel> model = std::make_shared<FakeLanguageModel>();
    FakeHotkeyMonitor hotkeys;
    FakeDesktop desktop{clock};
    std::unique_ptr<QSettingsStore> settings;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<DictionaryStore> dictionary;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<AppState> state;

private:
    QTemporaryDir m_dir;
};

} // namespace testing
} // namespace sayloom
