#pragma once
// The first line a caller sends on a new connection.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::sim {

enum class RequestKind {
    Incomplete,  // no end of line yet, and not too long to be one
    Invalid,     // garbage: unknown, malformed, or too long
    Probe,
    Pipe,
    Attach,
    Detach,
    Status,
};

struct Request {
    RequestKind kind = RequestKind::Incomplete;
    std::string pipeName;   // for Pipe
    std::size_t length = 0;  // bytes of the line, end of line included
};

// Reads the request line at the start of `received`. Bytes after the line
// are not looked at (they belong to whatever follows).
Request ParseRequest(std::span<const std::uint8_t> received);

}  // namespace tarnwick::sim
