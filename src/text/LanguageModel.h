#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <exception>
#include <memory>
#include <stop_token>

namespace sayloom {

// Whether the language model can answer now, and if not, why.
enum class LanguageModelAvailability {
    available,
    deviceNotEligible,
    notEnabled,
    modelNotReady,
    unavailable,
};

// The one-line status shown in settings and by `--polish`.
QString availabilityText(LanguageModelAvailability availability);

struct GenerationOptions {
    double temperature = 0.0;
    int maximumResponseTokens = 0;

    friend bool operator==(const GenerationOptions&, const GenerationOptions&) = default;
};

// A failed request, with a description a user can act on.
class LanguageModelError final : public std::exception {
public:
    explicit LanguageModelError(QString description)
        : m_description(std::move(description))
        , m_utf8(m_description.toUtf8())
    {
    }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// One conversation context with fixed instructions. Used for one request and then dropped, so no answer
// remembers another.
class LanguageModelSession {
public:
    virtual ~LanguageModelSession() = default;

    // Asks the model to get ready for this session's instructions; no result, no failure.
    virtual void prewarm() = 0;
    // The model's answer to `prompt`; throws LanguageModelError. A stop request abandons the request at once.
    virtual QCoro::Task<QString> respond(QString prompt, GenerationOptions options, std::stop_token stop) = 0;
};

// A language model on this computer. Main thread only, but for availability(), which any thread may read.
class LanguageModel : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~LanguageModel() override = default;

    // The last known availability; never blocks.
    virtual LanguageModelAvailability availability() const = 0;
    // A hint that the model is about to be used, so a stale availability gets checked again.
    virtual void refreshAvailability() {}
    virtual std::shared_ptr<LanguageModelSession> makeSession(const QString& instructions) = 0;

signals:
    // The availability changed; read it with availability().
    void availabilityChanged();
};

} // namespace sayloom
