#pragma once
// The record of one transfer: the whole image file in one heap block and the
// open device pipe. The upgrade command fills it; from the moment it is
// moved into TransferWorker::Run the worker owns it, and the worker gives
// the block and the pipe back on every path.
//
// Both resources are owned by RAII members, so whoever holds the record when
// a run ends early (a refusal after the pipe was opened, a thread that could
// not be started) gives back exactly what was taken just by letting it go.

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/system.h"

namespace tarnwick {

// The device pipe returned by "open_file". Move-only; closed exactly once,
// by Close() or by the destructor, through the HandleIo it was opened for.
class OwnedPipe {
public:
    OwnedPipe() = default;
    OwnedPipe(os::HandleIo& io, os::Handle handle) : io_(&io), handle_(handle) {}
    OwnedPipe(OwnedPipe&& other) noexcept
        : io_(other.io_), handle_(std::exchange(other.handle_, os::kInvalidHandle)) {}
    OwnedPipe& operator=(OwnedPipe&& other) noexcept {
        if (this != &other) {
            Close();
            io_ = other.io_;
            handle_ = std::exchange(other.handle_, os::kInvalidHandle);
        }
        return *this;
    }
    OwnedPipe(const OwnedPipe&) = delete;
    OwnedPipe& operator=(const OwnedPipe&) = delete;
    ~OwnedPipe() { Close(); }

    os::Handle get() const { return handle_; }
    bool IsOpen() const { return handle_ != os::kInvalidHandle; }

    void Close() {
        if (io_ != nullptr && handle_ != os::kInvalidHandle) {
            io_->Close(std::exchange(handle_, os::kInvalidHandle));
        }
    }

private:
    os::HandleIo* io_ = nullptr;
    os::Handle handle_ = os::kInvalidHandle;
};

struct TransferState {
    // The whole image file, header area first; exactly imageSize bytes.
    std::unique_ptr<std::uint8_t[]> image;
    // Size of the whole file (not the payload). At least 1028 for a file
    // that passed the checks; always below 4 GiB.
    std::uint64_t imageSize = 0;
    OwnedPipe pipe;
    // Payload bytes the device has taken so far.
    std::uint64_t sent = 0;
};

}  // namespace tarnwick
