#include "ui/DictionaryView.h"

#include "WindowFakes.h"
#include "ui/DictionaryEditor.h"
#include "ui/DictionaryListModel.h"
#include "ui/MainWindow.h"
#include "ui/design/WarningLabel.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTest>

#include <algorithm>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using testing::pump;
using testing::SessionRig;
using testing::WindowRig;

// The entry lines of the dictionary file, without its header.
QStringList fileLines(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts).filter(QRegularExpression(u"^[^#]"_s));
}

bool shows(const QWidget& root, const QString& text)
{
    const QList<QLabel*> labels = root.findChildren<QLabel*>();
    return std::ranges::any_of(labels,
                               [&](const QLabel* label) { return label->isVisibleTo(&root) && label->text() == text; });
}

// Fills the open sheet as a user would.
void fill(DictionaryEditor& editor, const QString& kind, const QString& heard, const QString& phrase)
{
    editor.typePicker()->setCurrentText(kind);
    for (const auto& [field, text] : {std::pair{editor.heardField(), heard}, {editor.phraseField(), phrase}}) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
}

TEST(DictionaryView, AddsEditsDeletesAndFollowsTheFile)
{
    SessionRig rig;
    rig.buildAndStart();
    const QString path = rig.path(u"Dictionary.txt"_s);
    WindowRig windows(rig);
    MainWindow window(windows.parts);
    window.show();
    window.activateWindow();
    pump();
    QTest::keyClick(&window, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(window.selection(), MainWindow::SidebarItem::dictionary);
    DictionaryView& view = *window.dictionary();
    DictionaryListModel& model = view.model();

    // Empty: the invitation, whose button opens the sheet for a new entry.
    EXPECT_TRUE(shows(view, u"Teach Sayloom Your Words"_s));
    for (QPushButton* button : view.findChildren<QPushButton*>()) {
        if (button->text() == u"Add Word"_s) {
            button->click();
        }
    }
    DictionaryEditor* editor = nullptr;
    ASSERT_NE(editor = view.editor(), nullptr);
    EXPECT_EQ(editor->confirmButton()->text(), u"Add"_s);
    EXPECT_FALSE(editor->confirmButton()->isEnabled());
    fill(*editor, u"Correction"_s, u"  cloud code"_s, u"Claude Code "_s);
    editor->confirmButton()->click();
    pump();
    EXPECT_EQ(view.editor(), nullptr);
    EXPECT_EQ(fileLines(path), QStringList{u"cloud code -> Claude Code"_s});

    // Ctrl+N: a word the file can't keep is refused until it can; warnings follow the typing.
    window.activateWindow();
    pump();
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    ASSERT_NE(editor = view.editor(), nullptr);
    fill(*editor, u"Word"_s, {}, u"#Anthropic"_s);
    EXPECT_TRUE(editor->shownRefusal().has_value());
    EXPECT_FALSE(editor->confirmButton()->isEnabled());
    fill(*editor, u"Word"_s, {}, u"Will"_s);
    EXPECT_FALSE(editor->shownRefusal());
    EXPECT_EQ(editor->shownWarnings().size(), 1);
    fill(*editor, u"Word"_s, {}, u"Anthropic"_s);
    EXPECT_TRUE(editor->shownWarnings().isEmpty());
    editor->confirmButton()->click();
    view.openEditor();
    fill(*view.editor(), u"Correction"_s, u"the"_s, u"Norva"_s);
    view.editor()->confirmButton()->click();
    pump();
    EXPECT_EQ(fileLines(path), (QStringList{u"cloud code -> Claude Code"_s, u"Anthropic"_s, u"the -> Norva"_s}));
    EXPECT_EQ(model.index(0).data().toString(), u"the \u2192 Norva"_s);
    EXPECT_EQ(model.warningsAt(model.index(0)).size(), 1);
    EXPECT_EQ(view.header()->text(), u"1 words \u00B7 2 corrections"_s);
    EXPECT_EQ(view.subtitle()->text(), u"Biasing 3 of 25 terms"_s);

    const auto writeOutside = [&](const QByteArray& text) {
        QSaveFile outside(path);
        ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
        outside.write(text);
        ASSERT_TRUE(outside.commit());
    };
    // Return on a row opens it; the file changes on disk meanwhile; saving changes the entry where it stands.
    const QUuid id = rig.dictionary->entries().first().id;
    view.list()->setFocus();
    view.list()->setCurrentIndex(model.index(2));
    QTest::keyClick(view.list(), Qt::Key_Return);
    ASSERT_NE(editor = view.editor(), nullptr);
    EXPECT_EQ(editor->confirmButton()->text(), u"Save"_s);
    EXPECT_EQ(editor->heardField()->text(), u"cloud code"_s);
    editor->phraseField()->end(false);
    QTest::keyClicks(editor->phraseField(), u" CLI"_s);
    writeOutside("cloud code -> Claude Code\nAnthropic\nthe -> Norva\nSupabase\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4; }, 5000));
    EXPECT_EQ(editor->phraseField()->text(), u"Claude Code CLI"_s);
    editor->confirmButton()->click();
    pump();
    EXPECT_EQ(rig.dictionary->entries().first().id, id);
    EXPECT_EQ(fileLines(path),
              (QStringList{u"cloud code -> Claude Code CLI"_s, u"Anthropic"_s, u"the -> Norva"_s, u"Supabase"_s}));

    // A double click opens a row too. An entry deleted in the file while its sheet is open comes back on saving, rather
    // than the edit being lost.
    view.list()->doItemsLayout();
    const QPoint row = view.list()->visualRect(model.index(0)).center();
    QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(view.list()->viewport(), Qt::LeftButton, {}, row);
    ASSERT_NE(editor = view.editor(), nullptr);
    writeOutside("cloud code -> Claude Code CLI\nAnthropic\nthe -> Norva\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 3; }, 5000));
    EXPECT_TRUE(shows(*editor, u"This entry is no longer in the dictionary file. Saving adds it again."_s));
    editor->phraseField()->end(false);
    QTest::keyClicks(editor->phraseField(), u" DB"_s);
    editor->confirmButton()->click();
    pump();
    EXPECT_EQ(fileLines(path).last(), u"Supabase DB"_s);

    window.activateWindow();
    view.list()->setFocus();
    view.list()->selectionModel()->select(model.index(0), QItemSelectionModel::ClearAndSelect);
    view.list()->selectionModel()->select(model.index(2), QItemSelectionModel::Select);
    pump();
    QTest::keyClick(view.list(), Qt::Key_Delete);
    pump();
    EXPECT_EQ(fileLines(path), (QStringList{u"cloud code -> Claude Code CLI"_s, u"the -> Norva"_s}));

    view.searchField()->setText(u" zzz "_s);
    EXPECT_TRUE(shows(view, u"No Results for \u201Czzz\u201D"_s));
    view.searchField()->clear();
    EXPECT_EQ(view.page(), DictionaryView::Page::list);
    for (QAction* action : view.fileButton()->menu()->actions()) {
        action->trigger();
    }
    pump();
    EXPECT_EQ(windows.files.opened, QStringList{path});
    EXPECT_EQ(windows.files.revealed, QStringList{path});
    EXPECT_EQ(view.fileButton()->menu()->actions().last()->text(), u"Show in File Manager"_s);
}

} // namespace
} // namespace sayloom
