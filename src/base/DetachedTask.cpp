#include "base/DetachedTask.h"

namespace sayloom {

Q_LOGGING_CATEGORY(lcTasks, "app.sayloom.tasks", QtInfoMsg)

} // namespace sayloom
