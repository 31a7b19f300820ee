#include "desktop/wayland/DataControlClipboard.h"
#include "desktop/wayland/SwayActiveWindow.h"
#include "desktop/wayland/VirtualKeyboard.h"
#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandTextInserter.h"
#include "integration/support/DesktopTesting.h"
#include "integration/support/SwayServer.h"
#include "integration/support/TestWindow.h"
#include "integration/wayland/SwayTest.h"
#include "support/Printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using namespace Qt::StringLiterals;

// Runs wl-copy or wl-paste on the private sway with the event loop running, so that we can serve what it reads.
QByteArray wlClipboard(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(sway->environment());
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    waitUntil([&] { return process.state() == QProcess::NotRunning; });
    return process.readAllStandardOutput();
}

TEST(SwayDesktop, PastesIntoTheFocusedWindowAndPutsTheClipboardBack)
{
    if (!sway) {
        GTEST_SKIP() << swayMissing.toStdString();
    }
    // A desktop entry names the test window's app id, as an installed application's entry would.
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(u"applications"_s));
    QFile entry(data.path() + u"/applications/SayloomTestWindow.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nName=Test Window\n");
    entry.close();
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path() + u"/none"));

    WaylandConnection connection;
    ASSERT_TRUE(connection.hasDataControl());
    ASSERT_TRUE(connection.hasVirtualKeyboard());
    DataControlClipboard clipboard(connection);
    VirtualKeyboard keyboard(connection);
    WaylandTextInserter inserter(clipboard, keyboard, {});
    SwayActiveWindow windows;
    // The seat had no keyboard until ours came; then the compositor hands out its keymap.
    EXPECT_TRUE(waitUntil([&] { return connection.keymap().contains("xkb_keymap"); }));

    TestWindow editor(u"SayloomTestWindow"_s, sway->environment());
    const std::optional<RunningApplication> target = waitForFront(windows, editor.pid());
    ASSERT_TRUE(target);
    EXPECT_EQ(target->applicationId, u"SayloomTestWindow"_s);
    EXPECT_EQ(target->displayName, u"Test Window"_s);
    EXPECT_TRUE(target->window);
    EXPECT_EQ(windows.current()->identity, QString::number(QCoreApplication::applicationPid()));

    // From an empty clipboard, then from text and an image: during the paste exactly the text with the markers,
    // afterwards what was there before.
    const QString text = u"Grüße, 世界 — done."_s;
    for (const bool withImage : {false, true}) {
        if (withImage) {
            ASSERT_TRUE(editor.copy(u"before"_s, true));
        }
        const QMap<QString, QByteArray> before = editor.clipboard();
        ASSERT_EQ(before.size(), withImage ? 3 : 0) << before.keys().join(u' ').toStdString();
        QMap<QString, QByteArray> during;
        const QString expected = editor.text() + text;
        ASSERT_TRUE(finish(inserter.insert(text, target), [&] {
            waitUntil([&] { return editor.text() == expected; });
            during = editor.clipboard();
        }));
        EXPECT_EQ(editor.text(), expected);
        EXPECT_EQ(during, transientClipboard(text));
        EXPECT_EQ(editor.clipboard(), before);
    }

    // A big picture is copied out and served back as the reader makes room.
    QByteArray picture(4 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < picture.size(); ++i) {
        picture[i] = char(i * 7 % 251);
    }
    wlClipboard(u"wl-copy"_s, {u"--type"_s, u"image/png"_s}, picture);
    ASSERT_TRUE(finish(inserter.insert(u" more"_s, target)));
    EXPECT_TRUE(wlClipboard(u"wl-paste"_s, {u"--type"_s, u"image/png"_s}) == picture);

    // Someone else copies while the target fetches the text: theirs stays.
    ASSERT_TRUE(finish(inserter.insert(u" more"_s, target), [&] {
        waitUntil([&] { return editor.text().endsWith(u" more more"); });
        wlClipboard(u"wl-copy"_s, {u"theirs"_s});
        waitUntil([&] { return editor.clipboard().value(u"text/plain"_s) == "theirs"; }, std::chrono::seconds(2));
    }));
    EXPECT_EQ(editor.clipboard().value(u"text/plain"_s), "theirs");

    // Text left for the user stays, unmarked.
    clipboard.setText(u"kept"_s);
    waitUntil([&] { return editor.clipboard().value(u"text/plain"_s) == "kept"; }, std::chrono::seconds(2));
    EXPECT_EQ(editor.clipboard().keys(), QStringList({u"text/plain"_s, u"text/plain;charset=utf-8"_s}));

    // xterm pastes the primary selection, which holds the text meanwhile and is empty again afterwards.
    DataControlClipboard primary(connection, DataControlClipboard::Selection::primary);
    std::optional<bool> held;
    ASSERT_TRUE(finish([&]() -> QCoro::Task<void> { held = co_await primary.hold(u"ls"_s); }()));
    EXPECT_EQ(held, true);
    EXPECT_EQ(editor.clipboard(true).value(u"text/plain"_s), "ls");
    primary.restore();
    EXPECT_TRUE(waitUntil([&] { return editor.clipboard(true).isEmpty(); }, std::chrono::seconds(2)));

    // A program that owns the clipboard and does not answer costs the copy's patience once; the paste goes on.
    QProcess owner;
    owner.setProcessEnvironment(sway->environment());
    owner.start(u"wl-copy"_s, {u"--foreground"_s, u"frozen"_s});
    ASSERT_TRUE(waitUntil([&] { return editor.clipboard().value(u"text/plain"_s) == "frozen"; }));
    ::kill(pid_t(owner.processId()), SIGSTOP);
    ASSERT_TRUE(finish(inserter.insert(u" still"_s, target)));
    EXPECT_TRUE(editor.text().endsWith(u" still"));
    owner.kill();

    // A terminal gets the keystroke it pastes with; then activation brings the editor back in front of it.
    TestWindow terminal(u"kitty"_s, sway->environment());
    const std::optional<RunningApplication> shell = waitForFront(windows, terminal.pid());
    ASSERT_TRUE(shell);
    ASSERT_TRUE(finish(inserter.insert(u"ls"_s, shell), [&] { terminal.output().waitFor(u"^key "_s); }));
    EXPECT_EQ(terminal.keys(), QStringList{u"Ctrl+Shift+V"_s});
    ASSERT_TRUE(finish(windows.activate(*target)));
    EXPECT_EQ(windows.frontmost(), target);
}

TEST(SwayDesktop, WithoutACompositorOrAfterItWentNothingIsAvailableAndNothingFails)
{
    SwayServer going;
    const bool goingRuns = SwayServer::isInstalled() && going.start();
    for (const bool went : {false, true}) {
        if (went && !goingRuns) {
            continue;
        }
        WaylandConnection connection(went ? QFile::encodeName(going.waylandSocket()) : "sayloom-no-such-display");
        DataControlClipboard clipboard(connection);
        VirtualKeyboard keyboard(connection);
        if (went) {
            EXPECT_TRUE(clipboard.isAvailable() && keyboard.isAvailable());
            going.stop();
            EXPECT_TRUE(waitUntil([&] { return !connection.isUsable(); }, std::chrono::seconds(5)));
        }
        EXPECT_FALSE(connection.hasDataControl() || connection.hasVirtualKeyboard());
        EXPECT_FALSE(clipboard.isAvailable() || keyboard.isAvailable());
        EXPECT_TRUE(connection.keymap().isEmpty());
        std::optional<bool> held;
        std::optional<bool> sent;
        ASSERT_TRUE(finish([&]() -> QCoro::Task<void> {
            held = co_await clipboard.hold(u"text"_s);
            sent = co_await keyboard.sendPaste(PasteKeys::controlV);
        }()));
        EXPECT_EQ(held, false);
        EXPECT_EQ(sent, false);
        clipboard.restore();
        clipboard.setText(u"text"_s);
    }
    SwayActiveWindow windows("/nonexistent/sway.sock");
    EXPECT_FALSE(windows.frontmost());
    EXPECT_TRUE(finish(windows.activate({.identity = u"1"_s})));
}

} // namespace
} // namespace sayloom::testing
