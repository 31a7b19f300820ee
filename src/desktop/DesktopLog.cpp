#include "desktop/DesktopLog.h"

namespace sayloom {

Q_LOGGING_CATEGORY(lcDesktop, "app.sayloom.desktop", QtInfoMsg)

} // namespace sayloom
