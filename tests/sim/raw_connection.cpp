#include "tests/sim/raw_connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace tarnwick::testing {

RawConnection RawConnection::ToSocket(const std::string& path) {
    os::posix::Descriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool connected = connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    return RawConnection(std::move(fd), connected);
}

RawConnection RawConnection::ToTcp(const std::string& environment) {
    os::posix::Descriptor fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(environment.substr(environment.rfind(':') + 1))));
    const bool connected = connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    return RawConnection(std::move(fd), connected);
}

bool RawConnection::Send(const std::string& bytes) {
    return send(fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string RawConnection::Answer() {
    std::string line;
    char c = 0;
    pollfd wait{fd(), POLLIN, 0};
    while (poll(&wait, 1, 3000) > 0 && recv(fd(), &c, 1, 0) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

std::size_t RawConnection::Flood(std::chrono::milliseconds quiet, bool* failed) {
    const std::string chunk(4096, 'p');
    std::size_t sent = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    *failed = false;
    while (std::chrono::steady_clock::now() - lastProgress < quiet) {
        const ssize_t n = send(fd(), chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            lastProgress = std::chrono::steady_clock::now();
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *failed = true;
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return sent;
}

}  // namespace tarnwick::testing
