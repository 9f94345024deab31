#pragma once
// The simulator's second way in: loopback TCP, for callers that cannot reach
// a Unix socket (the Windows stand-in library running under Wine). Only
// 127.0.0.1 is bound, so only programs on this machine can connect.

#include <cstdint>
#include <string>

#include "platform/posix/descriptor.h"

namespace tarnwick::sim {

struct TcpListener {
    os::posix::Descriptor socket;  // non-blocking, listening; invalid on failure
    std::uint16_t port = 0;        // the port really bound (port 0 asks for a free one)
    std::string error;             // why it could not listen
};

TcpListener ListenOnLoopback(std::uint16_t port);

// Writes the port as one line to `path`, aside and renamed, so that a reader
// waiting for the file never finds half of it. False when it cannot.
bool PublishPort(const std::string& path, std::uint16_t port);

}  // namespace tarnwick::sim
