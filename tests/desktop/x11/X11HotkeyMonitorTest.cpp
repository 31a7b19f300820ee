#include "desktop/x11/X11HotkeyMonitor.h"

#include "X11TestSupport.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <gtest/gtest.h>

namespace sayloom::testing {
namespace {

// Types on the private server with XTest, keys named as XKB names them: "+RALT +AC01 -AC01 -RALT".
class Typist {
public:
    void type(const QString& script)
    {
        const X11Keyboard keyboard(*m_connection);
        for (const QString& step : script.split(u' ', Qt::SkipEmptyParts)) {
            const QByteArray name = step.mid(1).toLatin1();
            m_connection->fakeKey(keyboard.keyByName(name.constData(), 0), step.startsWith(u'+'));
        }
        m_connection->flush();
    }

private:
    std::unique_ptr<X11Connection> m_connection = X11Connection::open();
};

class X11HotkeyMonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        monitor.setOnChange([this](bool down) { calls << QString::fromUtf16(down ? u"down" : u"up"); });
        monitor.setOnCancel([this] { calls << QStringLiteral("cancel"); });
    }
    // What the monitor reported for the keys, once it has had time to report anything more.
    QString reported(const QString& script, const QString& expected)
    {
        calls.clear();
        typist.type(script);
        pumpUntil([&] { return calls.join(u' ') == expected; }, 1000);
        pumpUntil([] { return false; }, 40);
        return calls.join(u' ');
    }

    X11HotkeyMonitor monitor;
    Typist typist;
    QStringList calls;
};

TEST_F(X11HotkeyMonitorTest, ReportsTheTriggerAndCancelsUnderEveryLayout)
{
    struct Row {
        Trigger trigger;
        const char* script;
        const char* expected;
    };
    const Row rows[] = {
            {Trigger::rightOption, "+RALT -RALT", "down up"},
            {Trigger::rightOption, "+LALT -LALT +AC01 -AC01", ""},
            {Trigger::rightOption, "+RALT +LALT -LALT +LFSH -LFSH -RALT", "down up"},
            {Trigger::rightOption, "+RALT +AC01 -AC01 -RALT", "down cancel up"},
            {Trigger::rightOption, "+ESC -ESC", "cancel"},
            {Trigger::rightOption, "+RALT +ESC -ESC -RALT", "down cancel up"},
            {Trigger::rightOption, "+RALT +RALT +RALT -RALT", "down up"},
            {Trigger::rightControl, "+RALT -RALT +RCTL -RCTL", "down up"},
            {Trigger::rightCommand, "+RWIN +AC01 -AC01 -RWIN", "down cancel up"},
            {Trigger::fn, "+RALT -RALT +ESC -ESC", "cancel"},
    };
    monitor.start();
    ASSERT_TRUE(monitor.isWatching());
    // The German layout makes right Alt AltGr (ISO_Level3_Shift); it is the same physical key.
    for (const char* layout : {"us", "de"}) {
        ASSERT_TRUE(xServer().run(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout)}));
        pumpUntil([] { return false; }, 50);
        for (const Row& row : rows) {
            monitor.setTrigger(row.trigger);
            EXPECT_EQ(reported(QString::fromLatin1(row.script), QString::fromLatin1(row.expected)),
                      QString::fromLatin1(row.expected))
                    << layout << ": " << row.script;
        }
    }
    ASSERT_TRUE(xServer().run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
}

TEST_F(X11HotkeyMonitorTest, StartsOnceAndReleasesAHeldTriggerWhenStopped)
{
    monitor.start();
    monitor.start();
    EXPECT_EQ(reported(QStringLiteral("+RALT -RALT"), QStringLiteral("down up")), QStringLiteral("down up"));

    EXPECT_EQ(reported(QStringLiteral("+RALT"), QStringLiteral("down")), QStringLiteral("down"));
    EXPECT_TRUE(monitor.isDown());
    monitor.stop();
    EXPECT_EQ(calls, QStringList({QStringLiteral("down"), QStringLiteral("up")}));
    EXPECT_EQ(reported(QStringLiteral("-RALT +ESC -ESC"), QString()), QString());

    monitor.start();
    EXPECT_EQ(reported(QStringLiteral("+ESC -ESC"), QStringLiteral("cancel")), QStringLiteral("cancel"));
}

} // namespace
} // namespace sayloom::testing
