// A device handle from the maker's library is most likely a synchronous
// one, opened without FILE_FLAG_OVERLAPPED: WriteFile on it blocks, and it
// cannot be waited on with a timeout. So every write runs on a thread of
// the pipe's own (BlockingWriterPipe), which the worker waits for with its
// deadline; a write the worker gives up on is ended with
// CancelSynchronousIo, and what it had written is counted.

#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/blocking_writer.h"

namespace tarnwick::os::win32 {
namespace {

// How long a handle in no-wait mode (a pipe that answers a full buffer
// with "0 bytes written") is left before it is asked again.
constexpr DWORD kNoWaitRetryMs = 10;

WriteResult FromError(DWORD error, DWORD written) {
    if (written > 0) {
        return {WriteStatus::Accepted, written};
    }
    switch (error) {
        case ERROR_OPERATION_ABORTED:
            return {WriteStatus::NotReady, 0};
        case ERROR_INVALID_HANDLE:
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED:
        case ERROR_NETNAME_DELETED:
        case ERROR_CONNECTION_ABORTED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENOTCONN:
        case WSAESHUTDOWN:
            return {WriteStatus::Broken, 0};
        default:
            return {WriteStatus::Failed, 0};
    }
}

class HandleTarget final : public BlockingTarget {
public:
    HandleTarget(HANDLE handle, HANDLE interrupted) : handle_(handle), interrupted_(interrupted) {}
    HandleTarget(const HandleTarget&) = delete;
    HandleTarget& operator=(const HandleTarget&) = delete;
    ~HandleTarget() override {
        CloseHandle(handle_);
        CloseHandle(interrupted_);
        if (writer_ != nullptr) {
            CloseHandle(writer_);
        }
    }

    // CancelSynchronousIo needs a real handle of the writing thread, not
    // the pseudo handle GetCurrentThread gives.
    bool PrepareWriterThread() override {
        return DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &writer_, 0, FALSE,
                               DUPLICATE_SAME_ACCESS) != 0;
    }

    WriteResult WriteBlocking(std::span<const std::uint8_t> bytes) override {
        ResetEvent(interrupted_);
        for (;;) {
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
                // A cancelled write reports what it had moved before the
                // cancel, and that much is counted, never sent again.
                return FromError(GetLastError(), written);
            }
            if (written > 0 || bytes.empty()) {
                return {WriteStatus::Accepted, written};
            }
            if (WaitForSingleObject(interrupted_, kNoWaitRetryMs) == WAIT_OBJECT_0) {
                return {WriteStatus::NotReady, 0};
            }
        }
    }

    void Interrupt() override {
        SetEvent(interrupted_);
        CancelSynchronousIo(writer_);
    }

private:
    HANDLE handle_;
    HANDLE interrupted_;
    HANDLE writer_ = nullptr;
};

class UnusablePipe final : public DevicePipe {
public:
    WriteResult Write(std::span<const std::uint8_t>, std::chrono::milliseconds) override {
        return {WriteStatus::Broken, 0};
    }
    WriteResult Cancel() override { return {WriteStatus::NotReady, 0}; }
};

HANDLE AsHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::unique_ptr<DevicePipe> Win32HandleIo::Adopt(Handle handle) {
    if (handle == kInvalidHandle || handle == 0) {
        return std::make_unique<UnusablePipe>();
    }
    HANDLE interrupted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (interrupted == nullptr) {
        // Without the event a no-wait handle could not be interrupted: the
        // handle is given back unwritten.
        CloseHandle(AsHandle(handle));
        return std::make_unique<UnusablePipe>();
    }
    return std::make_unique<BlockingWriterPipe>(std::make_unique<HandleTarget>(AsHandle(handle), interrupted));
}

void Win32HandleIo::Close(Handle handle) {
    if (handle != kInvalidHandle) {
        CloseHandle(AsHandle(handle));
    }
}

}  // namespace tarnwick::os::win32
