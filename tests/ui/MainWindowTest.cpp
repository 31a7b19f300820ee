#include "ui/MainWindow.h"

#include "WindowFakes.h"
#include "ui/HistoryListModel.h"
#include "ui/HistoryRowWidget.h"
#include "ui/HistoryView.h"
#include "ui/HomeView.h"
#include "ui/design/LevelWaveform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using testing::pump;
using testing::SessionRig;
using testing::WindowRig;

// Every label's text in a widget tree that is shown, so a test can ask what the user reads.
QStringList shownTexts(const QWidget& root)
{
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&root) && !label->text().isEmpty()) {
            texts.append(label->text());
        }
    }
    return texts;
}

// With SAYLOOM_DUMP_DIR set, the window as it looks at that point, for a person to check.
void dump(QWidget& window, const char* name)
{
    if (const QString folder = qEnvironmentVariable("SAYLOOM_DUMP_DIR"); !folder.isEmpty()) {
        window.grab().save(folder + u'/' + QString::fromLatin1(name) + u".png");
    }
}

// The window over a whole session of fakes: every screen, every control, walked as a user would.
TEST(MainWindow, WalksEveryScreenOverALiveSession)
{
    SessionRig rig;
    rig.desktop.trusted = false;
    rig.buildAndStart();
    rig.dictate(u"hello from the first take"_s);
    rig.dictate(u"second take"_s);
    ASSERT_EQ(rig.state->history().size(), 2);
    // Without accessibility each delivery ends with a message; it clears after a while.
    rig.advance(std::chrono::seconds(5));

    WindowRig windows(rig);
    MainWindow window(windows.parts);
    window.show();
    window.activateWindow();
    pump();
    EXPECT_EQ(window.windowTitle(), u"Sayloom"_s);
    EXPECT_EQ(window.size(), QSize(980, 720));
    EXPECT_EQ(window.sidebar()->count(), 3);
    EXPECT_EQ(window.sidebar()->item(1)->text(), u"History"_s);
    EXPECT_EQ(window.selection(), MainWindow::SidebarItem::home);
    EXPECT_EQ(window.statusLine()->text(), u"Needs permissions"_s);

    // Home: the missing permission, two recent rows, the figures of today.
    HomeView& home = *window.home();
    EXPECT_TRUE(home.permissionBanner()->isVisible());
    const QStringList texts = shownTexts(home);
    EXPECT_TRUE(texts.contains(u"Accessibility"_s));
    EXPECT_FALSE(texts.contains(u"Microphone"_s));
    EXPECT_TRUE(texts.contains(u"Ready"_s));
    EXPECT_TRUE(texts.contains(u"7"_s)) << texts.join(u" | "_s).toStdString();
    ASSERT_EQ(home.recentRows().size(), 2);
    EXPECT_EQ(home.recentRows().first()->entry().text, rig.state->history().first().text);

    // Recording from the button, with the level drawn; then finishing it the same way.
    rig.engine.script(u"third take"_s);
    home.recordButton()->click();
    pump();
    EXPECT_EQ(rig.phase(), AppState::Phase::Kind::recording);
    EXPECT_EQ(home.recordButton()->text(), u"Stop recording"_s);
    EXPECT_TRUE(shownTexts(home).contains(u"Recording · hands-free"_s));
    EXPECT_EQ(window.statusLine()->text(), u"Recording"_s);
    rig.recorder.levelFromCaptureThread(0.8f);
    pump();
    const auto* waveform = home.findChild<LevelWaveform*>();
    ASSERT_TRUE(waveform && waveform->isVisible());
    EXPECT_EQ(waveform->levels().last(), 0.8f);
    rig.engine.latest()->onPartial(u"so the plan for Friday is"_s);
    pump();
    EXPECT_TRUE(shownTexts(home).join(u'|').contains(u"Friday is"_s));
    dump(window, "home-recording");
    home.recordButton()->click();
    rig.advance(std::chrono::seconds(5));
    EXPECT_EQ(rig.phase(), AppState::Phase::Kind::idle);
    EXPECT_EQ(home.recordButton()->text(), u"Start recording"_s);
    EXPECT_FALSE(waveform->isVisible());
    ASSERT_EQ(home.recentRows().size(), 3);
    dump(window, "home");

    // A recent row opens its text for selecting, and copies it.
    QTest::keyClick(home.recentRows().first(), Qt::Key_F2);
    ASSERT_NE(home.recentRows().first()->textEditor(), nullptr);
    EXPECT_EQ(home.recentRows().first()->textEditor()->toPlainText(), rig.state->history().first().text);
    home.recentRows().first()->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), rig.state->history().first().text);
    EXPECT_EQ(home.recentRows().first()->copyButton()->text(), u"Copied"_s);

    // "Show All" leads to History, grouped under today.
    home.showAllButton()->click();
    pump();
    EXPECT_EQ(window.selection(), MainWindow::SidebarItem::history);
    HistoryView& history = *window.history();
    HistoryListModel& model = history.model();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.index(0).data().toString(), u"Today"_s);
    EXPECT_TRUE(shownTexts(history).contains(u"3 dictations"_s));

    history.searchField()->setText(u"  FIRST "_s);
    EXPECT_EQ(model.shownCount(), 1);
    pump();
    dump(window, "history-search");
    EXPECT_TRUE(shownTexts(history).contains(u"1 dictations"_s));
    history.searchField()->clear();

    // Copy marks the row; delete removes the entry from the session.
    const HistoryEntry newest = *model.entryAt(model.index(1));
    history.copy(newest);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), newest.text);
    EXPECT_TRUE(model.index(1).data(HistoryListModel::CopiedRole).toBool());
    // Its text opens read-only for selecting a part of it.
    history.list()->setCurrentIndex(model.index(1));
    QTest::keyClick(history.list(), Qt::Key_F2);
    const auto* editor = history.list()->findChild<QPlainTextEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->toPlainText(), newest.text);
    EXPECT_TRUE(editor->isReadOnly());
    history.copyOriginal(newest);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), newest.raw);
    history.remove(newest);
    pump();
    EXPECT_EQ(rig.state->history().size(), 2);
    EXPECT_EQ(model.shownCount(), 2);

    // Clearing asks first; cancelling keeps everything, confirming empties the history.
    history.clearButton()->click();
    ASSERT_NE(history.clearConfirmation(), nullptr);
    EXPECT_EQ(history.clearConfirmation()->text(), u"Clear all 2 dictations?"_s);
    history.clearConfirmation()->escapeButton()->click();
    pump();
    EXPECT_EQ(rig.state->history().size(), 2);
    history.clearButton()->click();
    for (QAbstractButton* button : history.clearConfirmation()->buttons()) {
        if (history.clearConfirmation()->buttonRole(button) == QMessageBox::DestructiveRole) {
            button->click();
        }
    }
    pump();
    EXPECT_TRUE(rig.state->history().isEmpty());
    EXPECT_FALSE(history.clearButton()->isEnabled());
    EXPECT_TRUE(shownTexts(history).contains(u"No Dictations Yet"_s));
    EXPECT_TRUE(shownTexts(history).contains(u"Hold Right Alt in any app and speak. Every dictation is kept here."_s));

    // Back home with the keyboard: no recent rows, the hint with the trigger's name.
    window.activateWindow();
    pump();
    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(window.selection(), MainWindow::SidebarItem::home);
    EXPECT_TRUE(home.recentRows().isEmpty());
    EXPECT_TRUE(shownTexts(home).contains(
            u"Your dictations will appear here. Hold Right Alt in any app and start talking."_s));
}

} // namespace
} // namespace sayloom
