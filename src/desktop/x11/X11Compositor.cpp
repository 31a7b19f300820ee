#include "desktop/x11/X11Compositor.h"

#include "desktop/x11/X11Connection.h"

namespace sayloom {

bool x11CompositorRunning()
{
    const std::unique_ptr<X11Connection> connection = X11Connection::open();
    if (!connection) {
        return false;
    }
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(connection->screenNumber());
    return connection->selectionOwner(connection->atom(selection.constData())) != XCB_NONE;
}

bool x11DisplayReachable()
{
    return X11Connection::open() != nullptr;
}

} // namespace sayloom
