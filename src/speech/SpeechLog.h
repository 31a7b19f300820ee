#pragma once

#include <QLoggingCategory>

namespace sayloom {

Q_DECLARE_LOGGING_CATEGORY(lcSpeech)

} // namespace sayloom
