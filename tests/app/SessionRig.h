#pragma once

#include "AppState.h"
#include "Printers.h"
#include "QSettingsStore.h"
#include "SessionFakes.h"

#include <QTemporaryDir>

#include <memory>

namespace sayloom {

inline void PrintTo(AppState::Phase::Kind kind, std::ostream* out)
{
    static const char* const names[] = {"idle", "recording", "transcribing", "error"};
    *out << names[int(kind)];
}

inline void PrintTo(const OverlayMode& mode, std::ostream* out)
{
    static const char* const names[] = {"listening", "message", "hidden", "processing"};
    *out << names[int(mode.kind())];
    if (mode.kind() == OverlayMode::Kind::listening) {
        *out << (mode.isLocked() ? "(locked)" : "(unlocked)");
    }
    if (mode.kind() == OverlayMode::Kind::message) {
        *out << "(" << mode.text().toStdString() << ")";
    }
}

} // namespace sayloom

namespace sayloom::testing {

using namespace std::chrono_literals;

// One session over fakes of its collaborators, with real settings, dictionary and history files in a temporary
// folder. The helpers act like the user and let the event loop run after every act.
class SessionRig {
public:
    // In memory when the system offers a memory-backed folder: every history save syncs the file to disk, and the
    // randomised test makes thousands of them.
    static QString temporaryFolderTemplate();

    SessionRig();
    ~SessionRig();

    QString path(const QString& name) const { return dir.filePath(name); }
    // Builds the session over the files as they are now.
    void build();
    // Builds and starts it: microphone and accessibility answered, engine prepared.
    void buildAndStart();

    void press();
    void release();
    void toggle();
    void escape();
    void advance(std::chrono::milliseconds duration) { clock.advance(duration); }
    void tap(std::chrono::milliseconds held = 100ms);
    // Press, hold for `held`, release.
    void hold(std::chrono::milliseconds held);
    // A whole take: `transcript` is recognised from a 1 s hold; the tail ends the audio and the text is delivered.
    void dictate(const QString& transcript);

    AppState::Phase::Kind phase() const { return state->phase().kind(); }

    QTemporaryDir dir{temporaryFolderTemplate()};
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
};

} // namespace sayloom::testing
