// Device handles are file descriptors, written the same way whatever they
// are (socket, pipe, FIFO, terminal, character device, plain file) and in
// whatever mode the library opened them: one write() on the writer's own
// thread, straight from the caller's bytes. A descriptor in non-blocking
// mode that has no room is waited for with poll() on that thread too.
// Both calls are ended by a signal sent to the writer thread: its handler
// does nothing, and it is installed without SA_RESTART, so the call returns
// with EINTR or with the count it had written.

#include "platform/posix/posix_system.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/descriptor.h"

namespace tarnwick::os::posix {
namespace {

// Ignored by default, so a stray one harms nothing.
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

// What a failed write's errno means for the next attempt. A device that
// went away shows in many ways: a pipe or socket whose reader is gone, a
// terminal that was hung up (EIO), a USB serial device that was unplugged
// (ENXIO, ENODEV, EIO), a descriptor the library already closed (EBADF).
// None of them ever recovers, so none is retried.
WriteResult FromError(int error) {
    switch (error) {
        case EINTR:
            return {WriteStatus::Interrupted, 0};
        case EBADF:
        case EPIPE:
        case ECONNRESET:
        case ENOTCONN:
        case ESHUTDOWN:
        case ENODEV:
        case ENXIO:
        case EIO:
            return {WriteStatus::Broken, 0};
        default:
            return {WriteStatus::Failed, 0};
    }
}

class DescriptorPipe final : public DevicePipe {
public:
    explicit DescriptorPipe(int fd) : fd_(fd) {}

    // The signal may have been blocked by whoever started the process
    // (a mask passes through exec); the writer lets it through itself.
    bool BindWriter() override {
        InstallInterruptHandler();
        writer_ = pthread_self();
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, kInterruptSignal);
        return pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr) == 0;
    }

    WriteResult Write(std::span<const std::uint8_t> bytes) override {
        for (;;) {
            const ssize_t written = write(fd_.get(), bytes.data(), bytes.size());
            if (written > 0) {
                return {WriteStatus::Accepted, static_cast<std::size_t>(written)};
            }
            if (written == 0) {
                return {WriteStatus::Failed, 0};
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return FromError(errno);
            }
            pollfd room{fd_.get(), POLLOUT, 0};
            if (poll(&room, 1, -1) < 0) {
                return FromError(errno);
            }
            if ((room.revents & POLLNVAL) != 0) {
                return {WriteStatus::Broken, 0};
            }
        }
    }

    void Interrupt() override { pthread_kill(writer_, kInterruptSignal); }

private:
    const Descriptor fd_;
    pthread_t writer_{};
};

// A handle that is no open descriptor at all.
class UnusablePipe final : public DevicePipe {
public:
    bool BindWriter() override { return true; }
    WriteResult Write(std::span<const std::uint8_t>) override { return {WriteStatus::Broken, 0}; }
    void Interrupt() override {}
};

bool IsDescriptorNumber(Handle handle) { return handle >= 0 && handle <= INT_MAX; }

bool IsOpenDescriptor(Handle handle) {
    return IsDescriptorNumber(handle) && fcntl(static_cast<int>(handle), F_GETFL) != -1;
}

}  // namespace

FdHandleIo::FdHandleIo() { std::signal(SIGPIPE, SIG_IGN); }

std::unique_ptr<DevicePipe> FdHandleIo::Adopt(Handle handle) {
    if (!IsOpenDescriptor(handle)) {
        // Nothing to close either.
        return std::make_unique<UnusablePipe>();
    }
    return std::make_unique<DescriptorPipe>(static_cast<int>(handle));
}

HandleKindText FdHandleIo::Describe(Handle handle) {
    struct stat info {};
    const int flags = IsDescriptorNumber(handle) ? fcntl(static_cast<int>(handle), F_GETFL) : -1;
    if (flags < 0 || fstat(static_cast<int>(handle), &info) != 0) {
        return {"not an open descriptor", ""};
    }
    const char* kind = S_ISSOCK(info.st_mode)   ? "socket"
                       : S_ISFIFO(info.st_mode) ? "FIFO or pipe"
                       : S_ISCHR(info.st_mode)  ? "character device"
                       : S_ISREG(info.st_mode)  ? "file"
                       : S_ISBLK(info.st_mode)  ? "block device"
                                                : "other";
    return {kind, (flags & O_NONBLOCK) != 0 ? "non-blocking" : "blocking"};
}

void FdHandleIo::Close(Handle handle) {
    if (IsDescriptorNumber(handle)) {
        close(static_cast<int>(handle));
    }
}

}  // namespace tarnwick::os::posix
