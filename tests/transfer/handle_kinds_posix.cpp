// The kinds of handle on POSIX, each from a test double of the device
// library loaded through the real loader: the handle is what its
// "open_file" gives, and the far end is what the double leaves in its
// environment variable (a pipe's read end, a terminal's other side) or
// the file it writes.

#include <csignal>
#include <cstdlib>
#include <optional>
#include <pthread.h>
#include <string_view>
#include <fcntl.h>
#include <unistd.h>

#include "device/device_library.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_system.h"
#include "tests/support/bin_dir.h"
#include "tests/transfer/handle_kinds.h"

namespace tarnwick::testing {
namespace {

// Reads `limit` bytes (or up to the end) from `fd`, blocking.
std::vector<std::uint8_t> ReadFrom(int fd, std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    while (bytes.size() < limit) {
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

// A kind whose name ends so is its double opened on a thread that blocks
// the signal that interrupts a write, as a parent process may pass on
// through exec: the threads the transfer starts inherit that mask.
constexpr std::string_view kInterruptBlocked = "_interrupt_blocked";

class BlockedInterrupt {
public:
    BlockedInterrupt() {
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGURG);
        pthread_sigmask(SIG_BLOCK, &interrupt, &before_);
    }
    ~BlockedInterrupt() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    BlockedInterrupt(const BlockedInterrupt&) = delete;
    BlockedInterrupt& operator=(const BlockedInterrupt&) = delete;

private:
    sigset_t before_;
};

class DoubleHandle final : public OpenedHandle {
public:
    DoubleHandle(os::Handle handle, int farEnd, std::string sinkPath, bool blockInterrupt)
        : handle_(handle), farEnd_(farEnd), sinkPath_(std::move(sinkPath)) {
        if (blockInterrupt) {
            blocked_.emplace();
        }
    }

    os::Handle handle() const override { return handle_; }

    std::optional<std::vector<std::uint8_t>> ReadFarEnd(std::size_t limit) override {
        if (farEnd_.valid()) {
            return ReadFrom(farEnd_.get(), limit);
        }
        if (sinkPath_.empty()) {
            return std::nullopt;
        }
        const os::posix::Descriptor file(open(sinkPath_.c_str(), O_RDONLY | O_CLOEXEC));
        return ReadFrom(file.get(), limit);
    }

    void CloseFarEnd() override { farEnd_.Reset(); }

private:
    os::Handle handle_;
    os::posix::Descriptor farEnd_;
    std::string sinkPath_;
    std::optional<BlockedInterrupt> blocked_;
};

}  // namespace

std::vector<HandleKind> HandleKindsOfThisSystem() {
    return {
        {"blocking_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"blocking_pipe", FarEnd::ReadAWhile, TransferResult::Stopped, TransferFailure::None},
        {"nonblocking_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"blocking_pipe_interrupt_blocked", FarEnd::ReadAWhile, TransferResult::Stopped, TransferFailure::None},
        {"pty_device", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"pty_device", FarEnd::HangUp, TransferResult::Failed, TransferFailure::PipeBroken},
        {"plain_file", FarEnd::Sink, TransferResult::Complete, TransferFailure::None},
        {"dev_full", FarEnd::None, TransferResult::Failed, TransferFailure::HeaderNotTaken},
        {"failing_pipe", FarEnd::None, TransferResult::Failed, TransferFailure::PipeBroken},
    };
}

std::unique_ptr<OpenedHandle> OpenHandle(const HandleKind& kind, const std::string& scratchFolder) {
    const std::string sink = scratchFolder + "/device.bin";
    setenv("TARNWICK_DOUBLE_FILE", sink.c_str(), 1);
    unsetenv("TARNWICK_DOUBLE_FAR_END");
    const bool blockInterrupt = kind.name.ends_with(kInterruptBlocked);
    const std::string doubleName = blockInterrupt ? kind.name.substr(0, kind.name.size() - kInterruptBlocked.size()) : kind.name;
    os::posix::DlLibraryLoader loader;
    const DeviceCall call = DeviceLibrary(loader, test::DoubleLibraryPath(doubleName)).OpenFile("PIPE00");
    if (call.status != LibraryStatus::Called || call.handle == os::kInvalidHandle) {
        return nullptr;
    }
    const char* farEnd = std::getenv("TARNWICK_DOUBLE_FAR_END");
    return std::make_unique<DoubleHandle>(call.handle, farEnd != nullptr ? std::atoi(farEnd) : -1,
                                          kind.farEnd == FarEnd::Sink ? sink : std::string(), blockInterrupt);
}

}  // namespace tarnwick::testing
