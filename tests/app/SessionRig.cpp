#include "SessionRig.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sstream>

namespace sayloom {

void PrintTo(AppState::Phase::Kind kind, std::ostream* out)
{
    static const char* const names[] = {"idle", "recording", "transcribing", "error"};
    *out << names[int(kind)];
}

void PrintTo(const OverlayMode& mode, std::ostream* out)
{
    static const char* const names[] = {"listening", "message", "hidden", "processing"};
    *out << names[int(mode.kind())];
    if (mode.kind() == OverlayMode::Kind::listening) {
        *out << (mode.isLocked() ? "(locked)" : "(unlocked)");
    } else if (mode.kind() == OverlayMode::Kind::message) {
        *out << "(" << mode.text().toStdString() << ")";
    }
}

namespace testing {

namespace {

// In memory when the system has a memory-backed folder: every history save syncs the file to the disk, and the
// randomised test makes thousands of them.
QString folderTemplate()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QDir parent = memory.isDir() && memory.isWritable() ? QDir(memory.filePath()) : QDir::temp();
    return parent.filePath(QStringLiteral("sayloom-session-XXXXXX"));
}

} // namespace

SessionRig::SessionRig()
    : m_dir(folderTemplate())
{
    recorder.onStreamEnd = [this] {
        if (FakeEngine::Call* call = engine.latest(); call && !call->held) {
            call->gate.open();
        }
    };
}

SessionRig::~SessionRig()
{
    state.reset();
    pump();
}

void SessionRig::build()
{
    state.reset();
    settings = std::make_unique<QSettingsStore>(path(QStringLiteral("settings.ini")));
    state = std::make_unique<AppState>(SessionParts{
            .clock = clock,
            .settings = *settings,
            .legacySettings = settings->settings(),
            .dictionaryPath = path(QStringLiteral("Dictionary.txt")),
            .historyPath = path(QStringLiteral("History.json")),
            .recorder = recorder,
            .inputDevices = devices,
            .engine = engine,
            .languageModel = model,
            .hotkeyMonitor = hotkeys,
            .overlay = overlay,
            .inserter = inserter,
            .permissions = permissions,
            .accessibility = accessibility,
            .applications = applications,
            .clipboard = clipboard,
            .sounds = sounds,
    });
}

void SessionRig::buildAndStart()
{
    build();
    state->start();
    pump();
}

void SessionRig::hold(std::chrono::milliseconds held)
{
    press();
    advance(held);
    release();
}

void SessionRig::act(const char* script)
{
    std::istringstream words(script);
    std::string word;
    while (words >> word) {
        switch (word[0]) {
        case 'P':
            press();
            break;
        case 'R':
            release();
            break;
        case 'r':
            hotkeys.onChange(false), pump();
            break;
        case 'T':
            toggle();
            break;
        case 'E':
            escape();
            break;
        case 'F':
            engine.finish(), pump();
            break;
        case '+':
            advance(std::chrono::milliseconds(std::stoi(word.substr(1))));
            break;
        case 'h':
            engine.script(QStringLiteral("hello"), true);
            break;
        case 'x':
            recorder.failure = AudioRecorderError::noMicrophone();
            break;
        case 'o':
            applications.front = FakeApplications::itself();
            break;
        case 'm':
            permissions.microphone = false, buildAndStart();
            break;
        case 'a':
            accessibility.trusted = false, buildAndStart();
            break;
        default:
            ADD_FAILURE() << "unknown act " << word;
        }
    }
}

void SessionRig::dictate(const QString& transcript)
{
    engine.script(transcript);
    hold(1s);
    advance(AppState::tailDuration);
    advance(300ms);
}

} // namespace testing
} // namespace sayloom
