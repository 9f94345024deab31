// Device handles are file descriptors. How one is written depends on what
// it is, which fstat tells once, when the handle is adopted:
// - sockets and FIFOs can be made non-blocking and polled, which bounds
//   every wait at no cost to the common case of a write that is taken;
// - anything else (a character device, a plain file) may ignore
//   non-blocking mode or have no readiness to poll, so it is written by a
//   blocking call on a thread of its own, interrupted by a signal when the
//   caller gives up on it.

#include "platform/posix/posix_system.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/blocking_writer.h"

namespace tarnwick::os::posix {
namespace {

// Sent to a writer thread to end a blocking write. Ignored by default, so a
// stray one harms nothing; the handler exists only so that the write
// returns with EINTR (or the count it had written) instead of restarting.
constexpr int kInterruptSignal = SIGURG;

extern "C" void IgnoreInterrupt(int) {}

void InstallInterruptHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = IgnoreInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART
        sigaction(kInterruptSignal, &action, nullptr);
    });
}

// What a failed write's errno means for the next attempt.
WriteResult FromError(int error) {
    switch (error) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINTR:
            return {WriteStatus::NotReady, 0};
        case EBADF:
        case EPIPE:
        case ECONNRESET:
        case ENOTCONN:
        case ESHUTDOWN:
        case ENODEV:
            return {WriteStatus::Broken, 0};
        default:
            return {WriteStatus::Failed, 0};
    }
}

WriteResult FromWrite(ssize_t written, int error) {
    if (written > 0) {
        return {WriteStatus::Accepted, static_cast<std::size_t>(written)};
    }
    if (written == 0) {
        return {WriteStatus::NotReady, 0};
    }
    return FromError(error);
}

// A socket or a FIFO in non-blocking mode.
class PolledPipe final : public DevicePipe {
public:
    PolledPipe(int fd, bool socket) : fd_(fd), socket_(socket) {}
    ~PolledPipe() override { close(fd_); }
    PolledPipe(const PolledPipe&) = delete;
    PolledPipe& operator=(const PolledPipe&) = delete;

    WriteResult Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) override {
        // The common case costs one system call; poll only when the device
        // is not keeping up.
        WriteResult result = Attempt(bytes);
        if (result.status != WriteStatus::NotReady) {
            return result;
        }
        pollfd request{fd_, POLLOUT, 0};
        const int ready = poll(&request, 1, static_cast<int>(std::min<long long>(wait.count(), INT_MAX)));
        if (ready == 0) {
            return {WriteStatus::NotReady, 0};
        }
        if (ready < 0) {
            return FromError(errno);
        }
        if ((request.revents & POLLNVAL) != 0) {
            return {WriteStatus::Broken, 0};
        }
        return Attempt(bytes);
    }

    // Nothing is ever left under way here.
    WriteResult Cancel() override { return {WriteStatus::NotReady, 0}; }

private:
    WriteResult Attempt(std::span<const std::uint8_t> bytes) {
        const ssize_t written = socket_ ? send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                                        : write(fd_, bytes.data(), bytes.size());
        return FromWrite(written, errno);
    }

    const int fd_;
    const bool socket_;
};

// A character device, a plain file, or anything else that may block.
class DescriptorTarget final : public BlockingTarget {
public:
    explicit DescriptorTarget(int fd) : fd_(fd) { InstallInterruptHandler(); }
    ~DescriptorTarget() override { close(fd_); }
    DescriptorTarget(const DescriptorTarget&) = delete;
    DescriptorTarget& operator=(const DescriptorTarget&) = delete;

    bool PrepareWriterThread() override {
        writer_ = pthread_self();
        return true;
    }

    WriteResult WriteBlocking(std::span<const std::uint8_t> bytes) override {
        ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Opened non-blocking by the library: wait for room here, where
            // waiting is allowed, instead of handing back at once and being
            // asked again in a tight loop. The interrupt ends this wait too.
            pollfd request{fd_, POLLOUT, 0};
            if (poll(&request, 1, -1) < 0) {
                return FromError(errno);
            }
            written = write(fd_, bytes.data(), bytes.size());
        }
        return FromWrite(written, errno);
    }

    void Interrupt() override { pthread_kill(writer_, kInterruptSignal); }

private:
    const int fd_;
    pthread_t writer_{};
};

// A handle that is no descriptor at all.
class UnusablePipe final : public DevicePipe {
public:
    WriteResult Write(std::span<const std::uint8_t>, std::chrono::milliseconds) override {
        return {WriteStatus::Broken, 0};
    }
    WriteResult Cancel() override { return {WriteStatus::NotReady, 0}; }
};

bool IsDescriptor(Handle handle) { return handle >= 0 && handle <= INT_MAX; }

bool MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && ((flags & O_NONBLOCK) != 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0);
}

}  // namespace

FdHandleIo::FdHandleIo() { std::signal(SIGPIPE, SIG_IGN); }

std::unique_ptr<DevicePipe> FdHandleIo::Adopt(Handle handle) {
    if (!IsDescriptor(handle)) {
        return std::make_unique<UnusablePipe>();
    }
    const int fd = static_cast<int>(handle);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        // Not an open descriptor: there is nothing to close either.
        return std::make_unique<UnusablePipe>();
    }
    if (S_ISSOCK(info.st_mode)) {
        return std::make_unique<PolledPipe>(fd, true);
    }
    if (S_ISFIFO(info.st_mode) && MakeNonBlocking(fd)) {
        return std::make_unique<PolledPipe>(fd, false);
    }
    return std::make_unique<BlockingWriterPipe>(std::make_unique<DescriptorTarget>(fd));
}

void FdHandleIo::Close(Handle handle) {
    if (IsDescriptor(handle)) {
        close(static_cast<int>(handle));
    }
}

}  // namespace tarnwick::os::posix
