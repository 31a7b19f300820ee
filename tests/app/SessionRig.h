#pragma once

#include "AppState.h"
#include "Printers.h"
#include "QSettingsStore.h"
#include "SessionFakes.h"

#include <QTemporaryDir>

#include <memory>

namespace sayloom {

void PrintTo(AppState::Phase::Kind kind, std::ostream* out);
void PrintTo(const OverlayMode& mode, std::ostream* out);

namespace testing {

// One session over the fakes, with real settings, dictionary and history files in a temporary folder. The helpers
// act like the user and let the event loop run after every act.
class SessionRig {
public:
    SessionRig();
    ~SessionRig();

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Builds the session over the files as they are now.
    void build();
    // Builds and starts it: microphone and accessibility answered, engine prepared.
    void buildAndStart();

    void press() { hotkeys.key(true), pump(); }
    void release() { hotkeys.key(false), pump(); }
    void toggle() { state->toggleRecording(), pump(); }
    void escape() { hotkeys.onCancel(), pump(); }
    void advance(std::chrono::milliseconds duration) { clock.advance(duration); }
    // Press, hold for `held`, release.
    void hold(std::chrono::milliseconds held = 100ms);
    // Plays a script of space-separated acts: P press, R release, r a release the session did not hear pressed,
    // T toggle, E Escape, F the engine finishes, +N N milliseconds pass; and arrangements: h the next recognition
    // is held until F, x the recorder cannot start, o this application has the focus, and (rebuilding the session)
    // m the microphone is denied, a accessibility is not granted.
    void act(const char* script);
    // A whole take: `transcript` is recognised from a 1 s hold; the tail ends the audio and the text is delivered.
    void dictate(const QString& transcript);

    AppState::Phase::Kind phase() const { return state->phase().kind(); }

    FakeClock clock;
    FakeRecorder recorder;
    FakeInputDevices devices;
    FakeEngine engine;
    std::shared_ptr<FakeLanguageModel> model = std::make_shared<FakeLanguageModel>();
    FakeHotkeyMonitor hotkeys;
    FakeOverlay overlay;
    FakeInserter inserter{clock};
    FakePermissions permissions;
    FakeAccessibility accessibility;
    FakeApplications applications;
    FakeClipboard clipboard;
    FakeSounds sounds;
    std::unique_ptr<QSettingsStore> settings;
    std::unique_ptr<AppState> state;

private:
    QTemporaryDir m_dir;
};

} // namespace testing
} // namespace sayloom
