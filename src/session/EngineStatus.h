#pragma once

#include <QString>

namespace sayloom {

// How far the speech engine's preparation has come, with the line the settings show for it. It moves once per run
// from notPrepared to preparing and then to ready or failed.
class EngineStatus {
public:
    enum class Kind { notPrepared, preparing, ready, failed };

    static EngineStatus notPrepared() { return EngineStatus(Kind::notPrepared, QStringLiteral("Not prepared")); }
    static EngineStatus preparing(const QString& engineName)
    {
        return EngineStatus(Kind::preparing, u"Preparing " + engineName + u"\u2026");
    }
    static EngineStatus ready(const QString& engineName) { return EngineStatus(Kind::ready, engineName + u" ready"); }
    static EngineStatus failed(const QString& description)
    {
        return EngineStatus(Kind::failed, u"Engine error: " + description);
    }

    EngineStatus() = default;

    Kind kind() const { return m_kind; }
    const QString& text() const { return m_text; }

    friend bool operator==(const EngineStatus&, const EngineStatus&) = default;

private:
    EngineStatus(Kind kind, QString text)
        : m_kind(kind)
        , m_text(std::move(text))
    {
    }

    Kind m_kind = Kind::notPrepared;
    QString m_text = QStringLiteral("Not prepared");
};

} // namespace sayloom
