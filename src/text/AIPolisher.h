#pragma once

#include "text/BasicPolisher.h"
#include "text/LanguageModel.h"

#include <QSet>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace sayloom {

// The cleanup that hands each paragraph to the language model, so self-corrections are resolved and punctuation
// fixed. It distrusts the model: short paragraphs never reach it, every request has a deadline, and an answer is
// sanitised and then kept only if it neither invents, drops nor restructures content. Any doubt gives the
// paragraph the basic cleanup; polish() never fails.
class AIPolisher final : public TextPolisher {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{4000};

    explicit AIPolisher(std::shared_ptr<LanguageModel> model, std::chrono::milliseconds timeout = defaultTimeout);
    AIPolisher(const AIPolisher&) = delete;
    AIPolisher& operator=(const AIPolisher&) = delete;

    LanguageModel& model() const { return *m_model; }

    void prewarm() override;
    QCoro::Task<QString> polish(QString text, PolishContext context) override;

    // The instructions every session starts with.
    static const QString& instructions();
    // Raw words that may vanish from an answer without counting against it.
    static const QSet<QString>& droppableWords();
    // The request for one raw paragraph: the terms line when there are terms, then the tagged transcript.
    static QString prompt(const QString& paragraph, const PolishContext& context);
    // Half the paragraph's user-perceived characters, rounded down, plus 40.
    static int maximumResponseTokens(const QString& paragraph);
    // The sanitised answer when it passes every acceptance test against the raw paragraph; nothing otherwise.
    static std::optional<QString> validated(const QString& answer, const QString& raw);

private:
    QCoro::Task<QString> polishParagraph(QString paragraph, PolishContext context);
    std::shared_ptr<LanguageModelSession> takeSession();

    std::shared_ptr<LanguageModel> m_model;
    BasicPolisher m_fallback;
    std::chrono::milliseconds m_timeout;
    std::mutex m_lock;
    // The prewarmed session, used by the next paragraph that reaches the model and never put back.
    std::shared_ptr<LanguageModelSession> m_prewarmed;
};

} // namespace sayloom
