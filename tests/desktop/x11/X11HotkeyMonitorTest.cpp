#include "desktop/x11/X11HotkeyMonitor.h"

#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"
#include "integration/support/ChildProcess.h"
#include "support/Printers.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

using namespace std::chrono_literals;

class X11HotkeyMonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        monitor.setOnChange([this](bool down) { calls << QString::fromUtf16(down ? u"down" : u"up"); });
        monitor.setOnCancel([this] { calls << QStringLiteral("cancel"); });
    }
    // Types with XTest, keys by their XKB names ("+RALT +AC01 -AC01 -RALT"), and gives what the monitor reported
    // once it has had time to report anything more than `expected`.
    QString reported(const char* script, const char* expected)
    {
        calls.clear();
        const X11Keyboard keyboard(*m_typist);
        for (const QString& step : QString::fromLatin1(script).split(u' ', Qt::SkipEmptyParts)) {
            m_typist->fakeKey(keyboard.keyByName(step.mid(1).toLatin1().constData(), 0), step.startsWith(u'+'));
        }
        m_typist->flush();
        waitUntil([&] { return calls.join(u' ') == QLatin1String(expected); }, 1s);
        waitUntil([] { return false; }, 40ms);
        return calls.join(u' ');
    }

    X11HotkeyMonitor monitor;
    QStringList calls;
    std::unique_ptr<X11Connection> m_typist = X11Connection::open();
};

TEST_F(X11HotkeyMonitorTest, ReportsTheTriggerAndCancelsUnderEveryLayout)
{
    const std::tuple<Trigger, const char*, const char*> rows[] = {
            {Trigger::rightOption, "+LALT -LALT +AC01 -AC01 +RALT -RALT", "down up"},
            {Trigger::rightOption, "+RALT +LALT -LALT +LFSH -LFSH -RALT", "down up"},
            {Trigger::rightOption, "+RALT +AC01 -AC01 -RALT", "down cancel up"},
            {Trigger::rightOption, "+ESC -ESC +RALT +ESC -ESC -RALT", "cancel down cancel up"},
            {Trigger::rightOption, "+RALT +RALT +RALT -RALT", "down up"},
            {Trigger::rightControl, "+RALT -RALT +RCTL -RCTL", "down up"},
            {Trigger::rightCommand, "+RWIN +AC01 -AC01 -RWIN", "down cancel up"},
            {Trigger::fn, "+RALT -RALT +ESC -ESC", "cancel"},
    };
    monitor.start();
    ASSERT_TRUE(monitor.isWatching());
    // The German layout makes right Alt AltGr (ISO_Level3_Shift); it is the same physical key.
    for (const char* layout : {"us", "de", "us"}) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout)}), 0);
        waitUntil([] { return false; }, 50ms);
        for (const auto& [trigger, script, expected] : rows) {
            monitor.setTrigger(trigger);
            EXPECT_EQ(reported(script, expected), QLatin1String(expected)) << layout << ": " << script;
        }
    }
}

TEST_F(X11HotkeyMonitorTest, StartsOnceAndReleasesAHeldTriggerWhenStopped)
{
    monitor.start();
    monitor.start();
    EXPECT_EQ(reported("+RALT -RALT +RALT", "down up down"), QStringLiteral("down up down"));
    monitor.stop();
    EXPECT_EQ(calls.join(u' '), QStringLiteral("down up down up"));
    EXPECT_EQ(reported("-RALT +ESC -ESC", ""), QString());
    monitor.start();
    EXPECT_EQ(reported("+ESC -ESC", "cancel"), QStringLiteral("cancel"));
}

} // namespace
} // namespace sayloom::testing
