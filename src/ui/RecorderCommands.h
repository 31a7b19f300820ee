#pragma once

#include "session/AppState.h"

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace sayloom {

class FileActions;

// The dictation commands of the main window's "Dictation" menu: start or stop a take, and reach the dictionary file.
// The recording action follows the session, so its title and whether it can be used are always current; the tray's
// menu offers the same action.
class RecorderCommands final : public QObject {
    Q_OBJECT

public:
    RecorderCommands(AppState& state, FileActions& files, QObject* parent = nullptr);

    // "Start Recording", or "Stop Recording" while recording.
    static QString recordingTitle(const AppState::Phase& phase);
    // Not while a take is being processed: there is nothing to start or stop then.
    static bool recordingEnabled(const AppState::Phase& phase, bool takeRunning);

    QAction* toggleRecording() const { return m_toggleRecording; }
    QAction* openDictionaryFile() const { return m_openDictionaryFile; }
    QAction* showDictionaryFile() const { return m_showDictionaryFile; }

    // A new "Dictation" menu over these actions.
    QMenu* createMenu(QWidget* parent) const;

private:
    void update();

    AppState& m_state;
    QAction* m_toggleRecording;
    QAction* m_openDictionaryFile;
    QAction* m_showDictionaryFile;
};

} // namespace sayloom
