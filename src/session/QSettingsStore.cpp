#include "session/QSettingsStore.h"

#include <QMetaType>

namespace sayloom {

QSettingsStore::QSettingsStore()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("Sayloom"), QStringLiteral("Sayloom")))
{
}

QSettingsStore::QSettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

QSettingsStore::~QSettingsStore() = default;

std::optional<bool> QSettingsStore::boolValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    // The configuration file is text, so a boolean written earlier reads back as "true" or "false"; any other text
    // is not a boolean.
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == u"true") {
            return true;
        }
        if (text == u"false") {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<QString> QSettingsStore::stringValue(const QString& key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

// Written through at once: Qt would write at its next idle moment, which never comes when the X server goes away
// (Qt ends the process on the spot) or the session is killed, and a setting the user just chose would be lost.
void QSettingsStore::setBool(const QString& key, bool value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void QSettingsStore::setString(const QString& key, const QString& value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

} // namespace sayloom
