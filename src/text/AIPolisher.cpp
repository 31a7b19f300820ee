#include "text/AIPolisher.h"

#include "base/Timeout.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

namespace sayloom {

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcPolish, "app.sayloom.polish", QtInfoMsg)

} // namespace

AIPolisher::AIPolisher(std::shared_ptr<LanguageModel> model, std::chrono::milliseconds timeout)
    : m_model(std::move(model))
    , m_timeout(timeout)
{
}

std::shared_ptr<LanguageModelSession> AIPolisher::takeSession()
{
    {
        const std::lock_guard lock(m_lock);
        if (m_prewarmed) {
            return std::exchange(m_prewarmed, nullptr);
        }
    }
    return m_model->makeSession(instructions());
}

void AIPolisher::prewarm()
{
    m_model->refreshAvailability();
    if (m_model->availability() != LanguageModelAvailability::available) {
        return;
    }
    std::shared_ptr<LanguageModelSession> session = m_model->makeSession(instructions());
    session->prewarm();
    std::shared_ptr<LanguageModelSession> replaced;
    {
        const std::lock_guard lock(m_lock);
        replaced = std::exchange(m_prewarmed, std::move(session));
    }
    // The replaced session is released here, outside the lock.
}

QCoro::Task<QString> AIPolisher::polish(QString text, PolishContext context)
{
    if (m_model->availability() != LanguageModelAvailability::available) {
        co_return BasicPolisher::polished(text);
    }
    const QString laidOut = applyingSpokenLayout(text);
    static const QRegularExpression lineFeeds(u"\n+"_s);
    QString result;
    qsizetype position = 0;
    while (true) {
        const QRegularExpressionMatch run = lineFeeds.match(laidOut, position);
        if (!run.hasMatch()) {
            result += co_await polishParagraph(laidOut.mid(position), context);
            break;
        }
        result += co_await polishParagraph(laidOut.mid(position, run.capturedStart() - position), context);
        result += run.captured();
        position = run.capturedEnd();
    }
    co_return finalizedDictation(result);
}

QCoro::Task<QString> AIPolisher::polishParagraph(QString paragraph, PolishContext context)
{
    const QString basic = BasicPolisher::polished(paragraph);
    if (basic.split(u' ', Qt::SkipEmptyParts).size() <= 3) {
        co_return basic;
    }
    std::shared_ptr<LanguageModelSession> session = takeSession();
    const QString request = prompt(paragraph, context);
    const GenerationOptions options{0.0, maximumResponseTokens(paragraph)};

    auto respond = [session, request, options](std::stop_token stop) {
        return session->respond(request, options, std::move(stop));
    };
    std::optional<QString> answer;
    try {
        answer = co_await withTimeout(m_timeout, std::move(respond));
    } catch (const LanguageModelError& error) {
        qCCritical(lcPolish, "AI polish failed, using basic: %s", qUtf8Printable(error.description()));
        co_return basic;
    } catch (const std::exception& error) {
        qCCritical(lcPolish, "AI polish failed, using basic: %s", error.what());
        co_return basic;
    }
    if (!answer) {
        qCCritical(lcPolish, "AI polish timed out, using basic");
        co_return basic;
    }
    qCDebug(lcPolish, "Model output: %s", qUtf8Printable(*answer));
    if (qEnvironmentVariableIsSet("SAYLOOM_DEBUG")) {
        const QByteArray line = "model:    " + answer->toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    }
    co_return validated(*answer, paragraph).value_or(basic);
}

} // namespace sayloom
