#include "SessionRig.h"

#include <QDir>
#include <QFileInfo>

namespace sayloom::testing {

QString SessionRig::temporaryFolderTemplate()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    if (memory.isDir() && memory.isWritable()) {
        return QStringLiteral("/dev/shm/sayloom-session-XXXXXX");
    }
    return QDir::temp().filePath(QStringLiteral("sayloom-session-XXXXXX"));
}

SessionRig::SessionRig()
{
    recorder.onStreamEnd = [this] { engine.audioEnded(); };
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

void SessionRig::press()
{
    hotkeys.press();
    pump();
}

void SessionRig::release()
{
    hotkeys.release();
    pump();
}

void SessionRig::toggle()
{
    state->toggleRecording();
    pump();
}

void SessionRig::escape()
{
    hotkeys.escape();
    pump();
}

void SessionRig::tap(std::chrono::milliseconds held)
{
    hold(held);
}

void SessionRig::hold(std::chrono::milliseconds held)
{
    press();
    advance(held);
    release();
}

void SessionRig::dictate(const QString& transcript)
{
    engine.script(transcript);
    hold(1s);
    advance(AppState::tailDuration);
    advance(300ms);
}

} // namespace sayloom::testing
