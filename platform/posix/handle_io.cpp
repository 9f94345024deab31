#include "platform/posix/posix_system.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::os::posix {
namespace {

// One non-blocking attempt. A socket is written with send() so that neither
// a full buffer nor a vanished peer can block or kill us; anything else
// falls back to write().
ssize_t WriteWithoutBlocking(int fd, std::span<const std::uint8_t> bytes) {
    ssize_t written = send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (written < 0 && errno == ENOTSOCK) {
        written = write(fd, bytes.data(), bytes.size());
    }
    return written;
}

bool IsValidDescriptor(Handle handle) { return handle >= 0 && handle <= INT_MAX; }

}  // namespace

FdHandleIo::FdHandleIo() { std::signal(SIGPIPE, SIG_IGN); }

WriteResult FdHandleIo::Write(Handle handle, std::span<const std::uint8_t> bytes,
                              std::chrono::milliseconds wait) {
    if (!IsValidDescriptor(handle)) {
        return {WriteStatus::Failed, 0};
    }
    const int fd = static_cast<int>(handle);
    // The common case costs one system call; poll only when the device is
    // not keeping up.
    ssize_t written = WriteWithoutBlocking(fd, bytes);
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd request{fd, POLLOUT, 0};
        const int ready = poll(&request, 1, static_cast<int>(std::min<long long>(wait.count(), INT_MAX)));
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            return {WriteStatus::NotReady, 0};
        }
        if (ready < 0) {
            return {WriteStatus::Failed, 0};
        }
        written = WriteWithoutBlocking(fd, bytes);
    }
    if (written > 0) {
        return {WriteStatus::Accepted, static_cast<std::size_t>(written)};
    }
    if (written == 0 && !bytes.empty()) {
        return {WriteStatus::NotReady, 0};
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return {WriteStatus::NotReady, 0};
    }
    return {written == 0 ? WriteStatus::Accepted : WriteStatus::Failed, 0};
}

void FdHandleIo::Close(Handle handle) {
    if (IsValidDescriptor(handle)) {
        close(static_cast<int>(handle));
    }
}

}  // namespace tarnwick::os::posix
