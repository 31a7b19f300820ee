#include "text/LanguageModel.h"

namespace sayloom {

QString availabilityText(LanguageModelAvailability availability)
{
    switch (availability) {
    case LanguageModelAvailability::available:
        return QStringLiteral("Language model ready");
    case LanguageModelAvailability::deviceNotEligible:
        return QStringLiteral("This computer can't run the language model");
    case LanguageModelAvailability::notEnabled:
        return QStringLiteral("Set up a local language model in Settings");
    case LanguageModelAvailability::modelNotReady:
        return QStringLiteral("Language model is still loading");
    case LanguageModelAvailability::unavailable:
        break;
    }
    return QStringLiteral("Language model unavailable");
}

} // namespace sayloom
