#pragma once

#include "session/SettingsStore.h"

#include <QSettings>

#include <memory>

namespace sayloom {

// Settings in the user's Sayloom configuration file (QSettings, organisation and application "Sayloom").
class QSettingsStore final : public SettingsStore {
public:
    // The standard location.
    QSettingsStore();
    // A given file, in the same format.
    explicit QSettingsStore(const QString& fileName);
    QSettingsStore(const QSettingsStore&) = delete;
    QSettingsStore& operator=(const QSettingsStore&) = delete;
    ~QSettingsStore() override;

    std::optional<bool> boolValue(const QString& key) const override;
    std::optional<QString> stringValue(const QString& key) const override;
    void setBool(const QString& key, bool value) override;
    void setString(const QString& key, const QString& value) override;

    // The same settings for the stores that move data of earlier versions out of them.
    QSettings& settings() const { return *m_settings; }

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace sayloom
