#include "desktop/wayland/WaylandLog.h"

Q_LOGGING_CATEGORY(lcWayland, "app.sayloom.wayland", QtInfoMsg)
