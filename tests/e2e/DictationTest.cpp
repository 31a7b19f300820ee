#include "history/History.h"
#include "integration/support/AudioSignals.h"
#include "integration/support/DictationRig.h"
#include "support/Printers.h"

#include <QFile>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

std::optional<QList<HistoryEntry>> readHistory(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return History::decode(file.readAll());
}

// A key held down for a moment, as a finger taps it.
void tap(DictationRig& rig)
{
    rig.trigger(true);
    waitUntil([] { return false; }, 60ms);
    rig.trigger(false);
}

// Three takes in one run of the application, each building on the one before: hold to talk, Escape, a double tap.
TEST(Dictation, TheTriggerKeyTurnsSpeechIntoCorrectedTextInTheFocusedWindowAndTheHistory)
{
    DictationRig rig;
    QString error;
    ASSERT_TRUE(rig.start(&error)) << error.toStdString();
    const std::vector<float> speech =
            AudioSignals::spokenSentence(u"please send the quarterly report"_s, rig.home(), &error);
    ASSERT_FALSE(speech.empty()) << error.toStdString();
    // The recogniser writes what it hears in lower case; this user wants the phrase spelled their way.
    ASSERT_TRUE(rig.writeDictionary("quarterly report -> Q4 Report\n"));
    const auto log = [&rig] { return rig.app().joined().toStdString(); };
    ASSERT_TRUE(rig.launch()) << log();
    const std::unique_ptr<TestWindow> window = rig.openWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->copy(u"copied before"_s));

    // Hold to talk: the text arrives through the clipboard, which then gets its earlier text back.
    qsizetype from = rig.phases().size();
    rig.trigger(true);
    ASSERT_EQ(rig.waitForPhases(from, 1), QStringList{u"recording"_s}) << log();
    ASSERT_TRUE(rig.speak(speech));
    rig.trigger(false);
    ASSERT_TRUE(waitUntil([&] { return !window->text().isEmpty(); })) << log();
    const QString first = window->text();
    const std::optional<QList<HistoryEntry>> afterFirst = readHistory(rig.historyFile());
    ASSERT_TRUE(afterFirst && afterFirst->size() == 1) << log();
    const HistoryEntry entry = afterFirst->first();
    EXPECT_EQ(entry.text, first);
    EXPECT_TRUE(entry.raw.contains(u"quarterly report"_s)) << entry.raw.toStdString();
    const qsizetype at = first.indexOf(u"Q4 Report"_s);
    ASSERT_GE(at, 0) << first.toStdString();
    EXPECT_EQ(entry.corrections, QList<AppliedCorrection>({{u"quarterly report"_s, u"Q4 Report"_s, at, 9}}));
    EXPECT_TRUE(waitUntil([&] { return window->clipboard().value(u"text/plain"_s) == "copied before"; }));
    EXPECT_EQ(rig.waitForPhases(from, 3), QStringList({u"recording"_s, u"transcribing"_s, u"idle"_s}));

    // Escape while speaking: the take ends with nothing pasted or saved (looked at after the next take, by when a
    // stray paste would have arrived).
    from = rig.phases().size();
    rig.trigger(true);
    ASSERT_EQ(rig.waitForPhases(from, 1), QStringList{u"recording"_s}) << log();
    ASSERT_TRUE(rig.speak(speech));
    rig.escape();
    EXPECT_EQ(rig.waitForPhases(from, 2), QStringList({u"recording"_s, u"idle"_s})) << log();
    rig.trigger(false);

    // A double tap records hands-free, with no key held while the sentence is spoken; the next press ends it.
    from = rig.phases().size();
    tap(rig);
    waitUntil([] { return false; }, 80ms);
    tap(rig);
    ASSERT_EQ(rig.waitForPhases(from, 3), QStringList({u"recording"_s, u"idle"_s, u"recording"_s})) << log();
    ASSERT_TRUE(rig.speak(speech));
    rig.trigger(true);
    rig.trigger(false);
    ASSERT_TRUE(waitUntil([&] { return window->text().size() > first.size(); })) << log();
    EXPECT_EQ(rig.waitForPhases(from + 3, 2), QStringList({u"transcribing"_s, u"idle"_s}));

    const std::optional<QList<HistoryEntry>> afterAll = readHistory(rig.historyFile());
    ASSERT_TRUE(afterAll && afterAll->size() == 2) << log();
    EXPECT_EQ(afterAll->at(1), entry);
    EXPECT_EQ(window->text(), first + afterAll->at(0).text);
    EXPECT_EQ(window->keys().count(u"Ctrl+V"_s), 2);

    // Quitting keeps the history whole.
    EXPECT_EQ(rig.app().terminate(), 0) << log();
    EXPECT_EQ(readHistory(rig.historyFile()), afterAll);
}

} // namespace
} // namespace sayloom
