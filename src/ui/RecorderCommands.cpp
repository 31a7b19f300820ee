#include "ui/RecorderCommands.h"

#include "base/DetachedTask.h"
#include "dictionary/DictionaryStore.h"
#include "session/ports/FileActions.h"

#include <QAction>
#include <QMenu>

namespace sayloom {

RecorderCommands::RecorderCommands(AppState& state, FileActions& files, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_toggleRecording(new QAction(this))
    , m_openDictionaryFile(new QAction(QStringLiteral("Open Dictionary File"), this))
    , m_showDictionaryFile(new QAction(QStringLiteral("Show Dictionary in File Manager"), this))
{
    m_toggleRecording->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(m_toggleRecording, &QAction::triggered, &m_state, &AppState::toggleRecording);
    const QString path = state.dictionary().filePath();
    connect(m_openDictionaryFile, &QAction::triggered, this, [&files, path] { files.open(path); });
    connect(m_showDictionaryFile, &QAction::triggered, this,
            [&files, path] { runDetached(files.reveal(path), "Showing the dictionary file"); });
    connect(&m_state, &AppState::phaseChanged, this, &RecorderCommands::update);
    update();
}

QString RecorderCommands::recordingTitle(const AppState::Phase& phase)
{
    return phase.is(AppState::Phase::Kind::recording) ? QStringLiteral("Stop Recording")
                                                      : QStringLiteral("Start Recording");
}

bool RecorderCommands::recordingEnabled(const AppState::Phase& phase, bool takeRunning)
{
    return !takeRunning || phase.is(AppState::Phase::Kind::recording);
}

QMenu* RecorderCommands::createMenu(QWidget* parent) const
{
    auto* menu = new QMenu(QStringLiteral("&Dictation"), parent);
    menu->addAction(m_toggleRecording);
    menu->addSeparator();
    menu->addAction(m_openDictionaryFile);
    menu->addAction(m_showDictionaryFile);
    return menu;
}

void RecorderCommands::update()
{
    m_toggleRecording->setText(recordingTitle(m_state.phase()));
    m_toggleRecording->setEnabled(recordingEnabled(m_state.phase(), m_state.isTakeRunning()));
}

} // namespace sayloom
