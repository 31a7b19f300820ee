#include "speech/SpeechLog.h"

namespace sayloom {

Q_LOGGING_CATEGORY(lcSpeech, "app.sayloom.speech", QtInfoMsg)

} // namespace sayloom
