// A stand-in for the device maker's library: its two entries reach
// vantrel-sim over a Unix socket instead of a USB cable.
//
// Every answer is an ordinary socket descriptor, so it stays valid after
// the library is unloaded, is written with send()/write() and given back
// with close(). Nothing here may hang the caller: a probe gives up within
// 100 ms, and a pipe request within half a second.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "sim/sim_paths.h"
#include "sim/sim_protocol.h"

namespace {

using namespace tarnwick::sim;
using SteadyClock = std::chrono::steady_clock;

constexpr std::intptr_t kNone = -1;
constexpr auto kProbeLimit = std::chrono::milliseconds(80);
constexpr auto kPipeLimit = std::chrono::milliseconds(500);

// Connects, sends `request`, and waits for the one-line answer until
// `deadline`. Gives the connected descriptor when the answer is "1",
// otherwise -1 with nothing left open.
int Ask(const std::string& request, SteadyClock::time_point deadline) {
    const std::string socketPath = DefaultSocketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path || !CheckPrivateFolder(socketPath).empty()) {
        return -1;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    // A Unix socket connects at once or not at all (a full backlog is
    // EAGAIN), so a dead or swamped simulator costs no waiting here.
    bool accepted = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    char answer[2] = {0, 0};
    std::size_t got = 0;
    while (accepted && got < sizeof answer) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        pollfd wait{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
            accepted = false;
            break;
        }
        const ssize_t n = recv(fd, answer + got, sizeof answer - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            accepted = false;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    accepted = accepted && std::memcmp(answer, kYesAnswer, sizeof answer) == 0;
    if (!accepted) {
        close(fd);
        return -1;
    }
    // Handed out blocking, as an ordinary synchronous handle; callers that
    // must not block ask for that per call.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::intptr_t open_dev(void) {
    return Ask(kProbeRequest, SteadyClock::now() + kProbeLimit);
}

extern "C" __attribute__((visibility("default"))) std::intptr_t open_file(const char* pipeName) {
    if (pipeName == nullptr) {
        return kNone;
    }
    const std::string name(pipeName);
    if (name.empty() || name.size() > kMaxRequestLine / 2 || name.find_first_of(" \n") != std::string::npos) {
        return kNone;
    }
    return Ask(std::string(kPipeRequestPrefix) + name + "\n", SteadyClock::now() + kPipeLimit);
}
