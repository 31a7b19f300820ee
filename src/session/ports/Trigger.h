#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace sayloom {

// The key the user holds to dictate. Which physical key each one is belongs to the hotkey monitor.
enum class Trigger { fn, rightOption, rightCommand, rightControl };

// Every trigger, in the order the settings list them.
QList<Trigger> allTriggers();
// What the trigger setting stores: "fn", "rightOption", "rightCommand", "rightControl".
QString rawValue(Trigger trigger);
// Nothing for any text that is not one of the four raw values (compared exactly).
std::optional<Trigger> triggerFromRawValue(const QString& rawValue);
// What the settings picker and the hints show: "Fn", "Right Alt", "Right Super", "Right Ctrl".
QString displayName(Trigger trigger);

} // namespace sayloom
