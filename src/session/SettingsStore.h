#pragma once

#include <QString>

#include <optional>

namespace sayloom {

// Where the user's settings live between runs. Reads give nothing for a missing key and for a value of another
// type.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual std::optional<bool> boolValue(const QString& key) const = 0;
    virtual std::optional<QString> stringValue(const QString& key) const = 0;
    virtual void setBool(const QString& key, bool value) = 0;
    virtual void setString(const QString& key, const QString& value) = 0;
};

} // namespace sayloom
