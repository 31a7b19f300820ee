#include "WindowFakes.h"
#include "ui/HomeView.h"
#include "ui/MainWindow.h"
#include "ui/MenuBarMenu.h"
#include "ui/RecorderCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using Phase = AppState::Phase;
using testing::SessionRig;
using testing::WindowRig;

QStringList titles(const QMenu& menu)
{
    QStringList result;
    for (const QAction* action : menu.actions()) {
        if (action->isVisible()) {
            result.append(action->isSeparator() ? u"-"_s : action->text());
        }
    }
    return result;
}

TEST(AppMenus, TheTrayStatusLine)
{
    const struct {
        Phase phase;
        bool accessibility, microphone;
        Trigger trigger;
        QString line;
    } rows[] = {
            {Phase::recording(), false, false, Trigger::rightOption, u"Recording…"_s},
            {Phase::transcribing(), true, true, Trigger::rightOption, u"Transcribing…"_s},
            {Phase::error(u"Mic failed: gone"_s), true, true, Trigger::rightOption, u"Mic failed: gone"_s},
            {Phase::idle(), true, true, Trigger::rightOption, u"Ready · hold Right Alt"_s},
            {Phase::idle(), true, true, Trigger::fn, u"Ready · hold Fn"_s},
            {Phase::idle(), true, false, Trigger::rightOption, u"Sayloom needs permissions"_s},
            {Phase::idle(), false, true, Trigger::rightControl, u"Sayloom needs permissions"_s},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MenuBarMenu::statusLine(row.phase, row.accessibility, row.microphone, row.trigger), row.line);
    }
    EXPECT_NE(MenuBarMenu::iconName(Phase::recording()), MenuBarMenu::iconName(Phase::idle()));
}

TEST(AppMenus, TheTrayMenuAndTheDictationMenuFollowTheSession)
{
    SessionRig rig;
    rig.buildAndStart();
    WindowRig windows(rig);
    int opened = 0;
    int settings = 0;
    MenuBarMenu tray(
            *rig.state,
            {.openWindow = [&opened] { ++opened; }, .openSettings = [&settings] { ++settings; }, .quit = [] {}});
    MainWindow window(windows.parts);

    // An empty history has nothing to copy.
    EXPECT_EQ(titles(*tray.menu()), (QStringList{u"Ready · hold Right Alt"_s, u"-"_s, u"Start Recording"_s, u"-"_s,
                                                 u"Open Sayloom"_s, u"Settings…"_s, u"-"_s, u"Quit Sayloom"_s}));

    // The tray's recording command starts a hands-free take; the window's menu shows the same state.
    rig.engine.script(u"copied from the tray"_s, true);
    tray.toggleRecording()->trigger();
    testing::pump();
    EXPECT_EQ(rig.phase(), Phase::Kind::recording);
    EXPECT_EQ(titles(*tray.menu()).first(), u"Recording…"_s);
    QAction* windowToggle = window.commands()->toggleRecording();
    EXPECT_EQ(windowToggle->text(), u"Stop Recording"_s);
    EXPECT_EQ(windowToggle->shortcut(), QKeySequence(u"Ctrl+Shift+R"_s));
    windowToggle->trigger();
    testing::pump();
    EXPECT_EQ(rig.phase(), Phase::Kind::transcribing);
    EXPECT_FALSE(tray.toggleRecording()->isEnabled());
    EXPECT_FALSE(windowToggle->isEnabled());
    rig.advance(std::chrono::milliseconds(300));
    rig.engine.finish();
    testing::pump();
    rig.advance(std::chrono::seconds(1));
    EXPECT_TRUE(windowToggle->isEnabled());

    // Now there is a dictation to copy: its delivered text.
    ASSERT_TRUE(tray.copyLastDictation()->isVisible());
    QApplication::clipboard()->setText(u"before"_s);
    tray.copyLastDictation()->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), rig.state->history().first().text);
    tray.menu()->actions().at(5)->trigger();
    tray.menu()->actions().at(6)->trigger();
    EXPECT_EQ(opened + settings, 2);

    // The window's menus: the application's own, then dictation with the dictionary file.
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(titles(*menus[1]->menu()), (QStringList{u"Start Recording"_s, u"-"_s, u"Open Dictionary File"_s,
                                                      u"Show Dictionary in File Manager"_s}));
    window.commands()->openDictionaryFile()->trigger();
    window.commands()->showDictionaryFile()->trigger();
    testing::pump();
    EXPECT_EQ(windows.files.opened, QStringList{rig.state->dictionary().filePath()});
    EXPECT_EQ(windows.files.revealed, QStringList{rig.state->dictionary().filePath()});
    EXPECT_FALSE(window.home()->trayHint()->isVisibleTo(&window));

    // Without a tray, Home says how to get one and how to quit.
    windows.parts.trayAvailable = false;
    MainWindow trayless(windows.parts);
    EXPECT_TRUE(trayless.home()->trayHint()->isVisibleTo(&trayless));
}

} // namespace
} // namespace sayloom
