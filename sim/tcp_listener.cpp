#include "sim/tcp_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "sim/write_all.h"

namespace tarnwick::sim {

TcpListener ListenOnLoopback(std::uint16_t port) {
    TcpListener listener;
    listener.socket = os::posix::Descriptor(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.socket.valid()) {
        listener.error = std::strerror(errno);
        return listener;
    }
    // A simulator started again at once must get its fixed port back while
    // the last run's connections linger in TIME_WAIT.
    const int reuse = 1;
    setsockopt(listener.socket.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener.socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.socket.get(), 64) != 0 ||
        getsockname(listener.socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        listener.error = std::strerror(errno);
        listener.socket.Reset();
        return listener;
    }
    listener.port = ntohs(address.sin_port);
    return listener;
}

bool PublishPort(const std::string& path, std::uint16_t port) {
    const std::string line = std::to_string(port) + "\n";
    const std::string partial = path + ".partial";
    os::posix::Descriptor file(open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const bool written =
        file.valid() && WriteAll(file.get(), reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    file.Reset();
    return written && rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace tarnwick::sim
