#include "session/ports/Trigger.h"

namespace sayloom {

namespace {

struct TriggerNames {
    Trigger trigger;
    const char16_t* rawValue;
    const char16_t* displayName;
};

// The raw values are what earlier versions stored, so they never change; the display names are the keys' names
// on a PC keyboard.
constexpr TriggerNames triggerNames[] = {
        {Trigger::fn, u"fn", u"Fn"},
        {Trigger::rightOption, u"rightOption", u"Right Alt"},
        {Trigger::rightCommand, u"rightCommand", u"Right Super"},
        {Trigger::rightControl, u"rightControl", u"Right Ctrl"},
};

const TriggerNames& namesOf(Trigger trigger)
{
    for (const TriggerNames& names : triggerNames) {
        if (names.trigger == trigger) {
            return names;
        }
    }
    return triggerNames[1];
}

} // namespace

QList<Trigger> allTriggers()
{
    QList<Trigger> triggers;
    for (const TriggerNames& names : triggerNames) {
        triggers.append(names.trigger);
    }
    return triggers;
}

QString rawValue(Trigger trigger)
{
    return QString::fromUtf16(namesOf(trigger).rawValue);
}

std::optional<Trigger> triggerFromRawValue(const QString& rawValue)
{
    for (const TriggerNames& names : triggerNames) {
        if (rawValue == QStringView(names.rawValue)) {
            return names.trigger;
        }
    }
    return std::nullopt;
}

QString displayName(Trigger trigger)
{
    return QString::fromUtf16(namesOf(trigger).displayName);
}

} // namespace sayloom
