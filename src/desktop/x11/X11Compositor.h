#pragma once

namespace sayloom {

// Whether a compositing manager runs on $DISPLAY (someone owns _NET_WM_CM_S<screen>), so that translucent windows
// are blended rather than drawn on black. False without a reachable X server.
bool x11CompositorRunning();

// Whether the X server named by $DISPLAY takes a connection: the application checks before Qt would abort on it.
bool x11DisplayReachable();

} // namespace sayloom
