#pragma once
// One raw connection to the simulator, over its Unix socket or its loopback
// TCP port (the same wire), closed when it goes.

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/posix/descriptor.h"

namespace tarnwick::testing {

class RawConnection {
public:
    static RawConnection ToSocket(const std::string& path);
    // `environment` is the simulator's "VANTREL_SIM_TCP=127.0.0.1:PORT".
    static RawConnection ToTcp(const std::string& environment);

    bool connected() const { return connected_; }
    int fd() const { return fd_.get(); }
    bool Send(const std::string& bytes);
    // The answer line, or empty when the simulator closed without one.
    std::string Answer();
    // Keeps sending without blocking until the simulator stops taking bytes
    // for `quiet` or the connection fails; gives the payload bytes it took.
    std::size_t Flood(std::chrono::milliseconds quiet, bool* failed);
    void Close() { fd_.Reset(); }

private:
    RawConnection(os::posix::Descriptor fd, bool connected) : fd_(std::move(fd)), connected_(connected) {}

    os::posix::Descriptor fd_;
    bool connected_ = false;
};

}  // namespace tarnwick::testing
