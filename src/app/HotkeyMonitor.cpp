#include "HotkeyMonitor.h"

namespace sayloom {

namespace {

struct TriggerNames {
    HotkeyMonitor::Trigger trigger;
    const char16_t* rawValue;
    const char16_t* displayName;
};

// The raw values are what earlier versions stored, so they never change; the display names are the keys' names
// on a PC keyboard.
constexpr TriggerNames triggerNames[] = {
        {HotkeyMonitor::Trigger::fn, u"fn", u"Fn"},
        {HotkeyMonitor::Trigger::rightOption, u"rightOption", u"Right Alt"},
        {HotkeyMonitor::Trigger::rightCommand, u"rightCommand", u"Right Super"},
        {HotkeyMonitor::Trigger::rightControl, u"rightControl", u"Right Ctrl"},
};

const TriggerNames& namesOf(HotkeyMonitor::Trigger trigger)
{
    for (const TriggerNames& names : triggerNames) {
        if (names.trigger == trigger) {
            return names;
        }
    }
    return triggerNames[1];
}

} // namespace

QList<HotkeyMonitor::Trigger> HotkeyMonitor::allTriggers()
{
    QList<Trigger> triggers;
    for (const TriggerNames& names : triggerNames) {
        triggers.append(names.trigger);
    }
    return triggers;
}

QString HotkeyMonitor::rawValue(Trigger trigger)
{
    return QString::fromUtf16(namesOf(trigger).rawValue);
}

std::optional<HotkeyMonitor::Trigger> HotkeyMonitor::fromRawValue(const QString& rawValue)
{
    for (const TriggerNames& names : triggerNames) {
        if (rawValue == QStringView(names.rawValue)) {
            return names.trigger;
        }
    }
    return std::nullopt;
}

QString HotkeyMonitor::displayName(Trigger trigger)
{
    return QString::fromUtf16(namesOf(trigger).displayName);
}

} // namespace sayloom
