#include "desktop/x11/X11AccessibilityTrust.h"
#include "desktop/x11/X11ActiveWindow.h"
#include "desktop/x11/X11Clipboard.h"
#include "desktop/x11/X11Compositor.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"
#include "desktop/x11/X11TextInserter.h"
#include "integration/support/DesktopTesting.h"
#include "integration/support/TestWindow.h"
#include "support/Printers.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using namespace Qt::StringLiterals;

TEST(X11Desktop, PastesIntoTheFocusedWindowAndPutsTheClipboardBack)
{
    // A desktop entry names the test window's class, as an installed application's entry would.
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(u"applications"_s));
    QFile entry(data.path() + u"/applications/sayloom-test-window.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nName=Test Window\nStartupWMClass=SayloomTestWindow\n[Desktop Action A]\nName=No\n");
    entry.close();
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path() + u"/none"));

    X11ActiveWindow windows;
    X11TextInserter inserter;
    EXPECT_TRUE(X11AccessibilityTrust().isTrusted());
    EXPECT_FALSE(x11CompositorRunning());

    TestWindow editor;
    const std::optional<RunningApplication> target = waitForFront(windows, editor.pid());
    ASSERT_TRUE(target);
    EXPECT_EQ(target->displayName, u"Test Window"_s);
    EXPECT_EQ(target->applicationId, u"SayloomTestWindow"_s);
    EXPECT_NE(windows.current(), target);
    EXPECT_EQ(windows.current()->identity, QString::number(QCoreApplication::applicationPid()));

    // Text and an image before; during the paste exactly the text and the two markers; both back afterwards.
    ASSERT_TRUE(editor.copy(u"before"_s, true));
    const QMap<QString, QByteArray> before = editor.clipboard();
    ASSERT_EQ(before.keys(), QStringList({u"image/png"_s, u"text/plain"_s}));
    const QString text = u"Grüße, 世界 — done."_s;
    QMap<QString, QByteArray> during;
    ASSERT_TRUE(finish(inserter.insert(text, target), [&] {
        waitUntil([&] { return editor.text() == text; });
        during = editor.clipboard();
    }));
    EXPECT_EQ(editor.text(), text);
    EXPECT_EQ(during, transientClipboard(text));
    EXPECT_EQ(editor.clipboard(), before);

    // Someone else copies while the target fetches the text: theirs stays. Again from a clipboard we own.
    ASSERT_TRUE(finish(inserter.insert(u" more"_s, target), [&] {
        waitUntil([&] { return editor.text() == text + u" more"; });
        editor.copy(u"theirs"_s);
    }));
    EXPECT_EQ(editor.clipboard().value(u"text/plain"_s), "theirs");
    EXPECT_EQ(editor.text(), text + u" more");

    // Text left for the user stays, as plain text, and is not marked transient.
    X11Clipboard kept;
    kept.setText(u"kept"_s);
    waitUntil([] { return QGuiApplication::clipboard()->text() == u"kept"; });
    EXPECT_EQ(editor.clipboard().keys(), QStringList({u"text/plain"_s, u"text/plain;charset=utf-8"_s}));

    const std::unique_ptr<X11Connection> typist = X11Connection::open();
    const xcb_keycode_t leftAlt = X11Keyboard(*typist).keyByName("LALT", 64);
    // Terminals get the keystroke they paste with; xterm pastes PRIMARY, which holds the text meanwhile. Then
    // activation brings the editor back in front of the terminal that took the focus.
    for (const auto& [windowClass, keystroke] : {std::pair{"kitty", "Ctrl+Shift+V"}, {"XTerm", "Shift+Ins"}}) {
        TestWindow terminal(QString::fromLatin1(windowClass));
        const std::optional<RunningApplication> shell = waitForFront(windows, terminal.pid());
        ASSERT_TRUE(shell);
        // Alt is still held when the text is ready: the keystroke waits for it, so the paste stays a paste.
        typist->fakeKey(leftAlt, true);
        typist->selectionOwner(XCB_ATOM_PRIMARY); // the press has reached the server
        QTimer::singleShot(100, [&] { typist->fakeKey(leftAlt, false), typist->flush(); });
        QByteArray primary;
        ASSERT_TRUE(finish(inserter.insert(u"ls"_s, shell), [&] {
            terminal.output().waitFor(u"^key "_s);
            primary = terminal.clipboard(true).value(u"text/plain"_s);
        }));
        EXPECT_EQ(terminal.keys(), QStringList{QLatin1String(keystroke)});
        EXPECT_EQ(primary, windowClass == std::string_view("XTerm") ? "ls" : QByteArray());

        ASSERT_TRUE(finish(windows.activate(*target)));
        EXPECT_EQ(windows.frontmost(), target);
    }

    // A Wayland session hides other programs' keys from X clients.
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(X11AccessibilityTrust().isTrusted());
    qunsetenv("WAYLAND_DISPLAY");
}

} // namespace
} // namespace sayloom::testing
