#include "X11TestSupport.h"
#include "desktop/x11/X11AccessibilityTrust.h"
#include "desktop/x11/X11ActiveWindow.h"
#include "desktop/x11/X11Clipboard.h"
#include "desktop/x11/X11Compositor.h"
#include "desktop/x11/X11TextInserter.h"
#include "support/Printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using namespace Qt::StringLiterals;

// Runs an insertion to its end with the event loop running, and says when the keystroke has been posted.
bool insertAndWait(X11TextInserter& inserter, const QString& text, std::optional<RunningApplication> target,
                   const std::function<void()>& meanwhile = {})
{
    bool done = false;
    auto run = [&]() -> QCoro::Task<void> {
        co_await inserter.insert(text, target);
        done = true;
    };
    QCoro::Task<void> task = run();
    if (meanwhile) {
        meanwhile();
    }
    return pumpUntil([&] { return done; }, 3000);
}

std::optional<RunningApplication> waitForFront(const X11ActiveWindow& windows, qint64 pid)
{
    std::optional<RunningApplication> front;
    pumpUntil([&] {
        front = windows.frontmost();
        return front && front->identity == QString::number(pid);
    });
    return front;
}

TEST(X11Desktop, PastesIntoTheFocusedWindowAndPutsTheClipboardBack)
{
    // A desktop entry names the test window's class, as an installed application's entry would.
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("applications")));
    QFile entry(data.path() + u"/applications/sayloom-test-window.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Test Window\nStartupWMClass=SayloomTestWindow\n"
                "[Desktop Action New]\nName=Not this\n");
    entry.close();
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path() + u"/none"));

    X11ActiveWindow windows;
    X11TextInserter inserter;
    EXPECT_TRUE(X11AccessibilityTrust().isTrusted());
    EXPECT_FALSE(x11CompositorRunning());

    TestWindowProcess editor(QStringLiteral("SayloomTestWindow"), QStringLiteral("sayloom-test-window"));
    const std::optional<RunningApplication> target = waitForFront(windows, editor.pid);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->displayName, QStringLiteral("Test Window"));
    EXPECT_EQ(target->applicationId, QStringLiteral("SayloomTestWindow"));
    EXPECT_NE(windows.current(), target);
    EXPECT_EQ(windows.current()->identity, QString::number(QCoreApplication::applicationPid()));

    // Text and an image before; during the paste exactly the text and the two markers; both back afterwards.
    editor.command(QStringLiteral("copy-with-image"), QStringLiteral("before"));
    ASSERT_EQ(editor.next(QStringLiteral("copied")), QStringLiteral("copied"));
    const QMap<QString, QByteArray> before = editor.clipboard();
    ASSERT_TRUE(before.contains(QStringLiteral("image/png")));
    const QString text = QStringLiteral("Grüße, 世界 — done.");
    QMap<QString, QByteArray> during;
    ASSERT_TRUE(insertAndWait(inserter, text, target, [&] {
        pumpUntil([&] { return editor.text() == text; });
        during = editor.clipboard();
    }));
    EXPECT_EQ(editor.text(), text);
    EXPECT_EQ(during.value(QStringLiteral("text/plain")), text.toUtf8());
    EXPECT_EQ(during.value(QStringLiteral("text/plain;charset=utf-8")), text.toUtf8());
    EXPECT_EQ(during.value(QStringLiteral("x-kde-passwordManagerHint")), QByteArrayLiteral("secret"));
    EXPECT_TRUE(during.contains(QStringLiteral("org.nspasteboard.TransientType")));
    EXPECT_EQ(during.size(), 4) << QStringList(during.keys()).join(u", ").toStdString();
    EXPECT_EQ(editor.clipboard(), before);

    // Someone else copies while the target fetches the text: theirs stays. Again from a clipboard we own.
    ASSERT_TRUE(insertAndWait(inserter, QStringLiteral(" more"), target, [&] {
        pumpUntil([&] { return editor.text() == text + u" more"; });
        editor.command(QStringLiteral("copy"), QStringLiteral("theirs"));
        editor.next(QStringLiteral("copied"));
    }));
    EXPECT_EQ(editor.clipboard().value(QStringLiteral("text/plain")), QByteArrayLiteral("theirs"));
    EXPECT_EQ(editor.text(), text + u" more");

    // Text left for the user stays, as plain text, and is not marked transient.
    X11Clipboard().setText(QStringLiteral("kept"));
    EXPECT_EQ(editor.clipboard().keys(), QStringList({u"text/plain"_s, u"text/plain;charset=utf-8"_s}));

    // Terminals: the keystroke they paste with; xterm pastes PRIMARY, which holds the text meanwhile.
    for (const auto& [windowClass, keystroke] : {std::pair{"kitty", "Ctrl+Shift+V"}, {"XTerm", "Shift+Ins"}}) {
        TestWindowProcess terminal(QString::fromLatin1(windowClass), QString::fromLatin1(windowClass).toLower());
        const std::optional<RunningApplication> shell = waitForFront(windows, terminal.pid);
        ASSERT_TRUE(shell);
        QByteArray primary;
        ASSERT_TRUE(insertAndWait(inserter, QStringLiteral("ls"), shell, [&] {
            terminal.next(QStringLiteral("key"));
            primary = terminal.clipboard(true).value(QStringLiteral("text/plain"));
        }));
        EXPECT_EQ(terminal.lines.filter(QStringLiteral("key ")), QStringList{u"key " + QLatin1String(keystroke)});
        EXPECT_EQ(primary, windowClass == std::string_view("XTerm") ? QByteArrayLiteral("ls") : QByteArray());

        // Activation brings the editor back in front of the terminal that took the focus.
        bool activated = false;
        const auto activate = [&]() -> QCoro::Task<void> {
            co_await windows.activate(*target);
            activated = true;
        };
        QCoro::Task<void> activation = activate();
        ASSERT_TRUE(pumpUntil([&] { return activated; }));
        EXPECT_EQ(windows.frontmost(), target);
    }

    // A Wayland session hides other programs' keys from X clients.
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(X11AccessibilityTrust().isTrusted());
    qunsetenv("WAYLAND_DISPLAY");
}

TEST(X11Desktop, PicksThePasteKeystrokeByWindowClass)
{
    using Keys = X11TextInserter::PasteKeys;
    EXPECT_EQ(X11TextInserter::pasteKeysFor("gnome-terminal-server", "Gnome-terminal"), Keys::controlShiftV);
    EXPECT_EQ(X11TextInserter::pasteKeysFor("Alacritty", "Alacritty"), Keys::controlShiftV);
    EXPECT_EQ(X11TextInserter::pasteKeysFor("urxvt", "URxvt"), Keys::shiftInsert);
    EXPECT_EQ(X11TextInserter::pasteKeysFor("gedit", "Gedit"), Keys::controlV);
    EXPECT_EQ(X11TextInserter::pasteKeysFor("", ""), Keys::controlV);
}

} // namespace
} // namespace sayloom::testing
