#pragma once

#include "AudioInputDevice.h"
#include "PulseServer.h"

#include <QString>

#include <gtest/gtest.h>
#include <ostream>

namespace sayloom {

inline void PrintTo(const AudioInputDevice& device, std::ostream* out)
{
    *out << '{' << device.id << ", " << device.uid.toStdString() << ", \"" << device.name.toStdString() << "\", '"
         << Transport::text(device.transport).toStdString() << "'}";
}

// Starts a private daemon and points this process at it; fails the test when it cannot.
inline void startServer(PulseServer& server)
{
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    server.useInThisProcess();
}

} // namespace sayloom
