// A device handle is written on the writer's own thread, straight from the
// caller's bytes, in the way the handle was opened, which the handle itself
// tells (its file mode):
// - A synchronous handle, as the maker's library most likely gives:
//   WriteFile blocks, and Interrupt ends it with CancelSynchronousIo aimed
//   at the writer thread. A handle in no-wait mode, which answers a full
//   buffer with "0 bytes written", is asked again every 10 ms until
//   Interrupt says stop.
// - A handle opened with FILE_FLAG_OVERLAPPED: WriteFile with an OVERLAPPED
//   at the handle's own running offset, a wait for it or for Interrupt, and
//   CancelIoEx when Interrupt comes first.
// Either way a cancelled write reports what it had moved before the cancel,
// and that much is counted, never sent again.

#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/win32/owned_handle.h"

namespace tarnwick::os::win32 {
namespace {

constexpr DWORD kNoWaitRetryMs = 10;

// A device that went away shows as a broken or closed pipe, a reset
// connection, or one of the errors a driver gives for a device that is no
// longer there. None of them ever recovers, so none is retried.
WriteResult FromError(DWORD error, DWORD written) {
    if (written > 0) {
        return {WriteStatus::Accepted, written};
    }
    switch (error) {
        case ERROR_OPERATION_ABORTED:
            return {WriteStatus::Interrupted, 0};
        case ERROR_INVALID_HANDLE:
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED:
        case ERROR_NETNAME_DELETED:
        case ERROR_CONNECTION_ABORTED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_GEN_FAILURE:
        case ERROR_BAD_COMMAND:
        case ERROR_NOT_READY:
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENOTCONN:
        case WSAESHUTDOWN:
            return {WriteStatus::Broken, 0};
        default:
            return {WriteStatus::Failed, 0};
    }
}

// Whether `handle` was opened for overlapped I/O: its file mode has neither
// synchronous flag. Asked of ntdll at run time, which every process has
// loaded; a handle that has no file mode is written synchronously.
bool IsOverlapped(HANDLE handle) {
    struct IoStatus {
        union {
            LONG status;
            void* pointer;
        };
        ULONG_PTR information;
    };
    using QueryInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
    constexpr int kFileModeInformation = 16;
    constexpr ULONG kSynchronousModes = 0x10 | 0x20;  // FILE_SYNCHRONOUS_IO_ALERT | _NONALERT
    const auto query = reinterpret_cast<QueryInformationFile>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    IoStatus status{};
    ULONG mode = 0;
    return query != nullptr && query(handle, &status, &mode, sizeof mode, kFileModeInformation) >= 0 &&
           (mode & kSynchronousModes) == 0;
}

class SynchronousPipe final : public DevicePipe {
public:
    SynchronousPipe(HANDLE handle, HANDLE interrupted) : handle_(handle), interrupted_(interrupted) {}

    // CancelSynchronousIo needs a real handle of the writer thread, not the
    // pseudo handle GetCurrentThread gives.
    bool BindWriter() override {
        HANDLE writer = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &writer, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return false;
        }
        writer_ = OwnedHandle(writer);
        return true;
    }

    WriteResult Write(std::span<const std::uint8_t> bytes) override {
        for (;;) {
            DWORD written = 0;
            if (!WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
                return FromError(GetLastError(), written);
            }
            if (written > 0 || bytes.empty()) {
                return {WriteStatus::Accepted, written};
            }
            if (WaitForSingleObject(interrupted_.get(), kNoWaitRetryMs) == WAIT_OBJECT_0) {
                return {WriteStatus::Interrupted, 0};
            }
        }
    }

    void Interrupt() override {
        SetEvent(interrupted_.get());
        CancelSynchronousIo(writer_.get());
    }

private:
    OwnedHandle handle_;
    OwnedHandle interrupted_;  // auto-reset: one interrupt ends one wait
    OwnedHandle writer_;
};

class OverlappedPipe final : public DevicePipe {
public:
    OverlappedPipe(HANDLE handle, HANDLE interrupted, HANDLE done)
        : handle_(handle), interrupted_(interrupted), done_(done) {}

    bool BindWriter() override { return true; }

    WriteResult Write(std::span<const std::uint8_t> bytes) override {
        OVERLAPPED request{};
        request.Offset = static_cast<DWORD>(offset_);
        request.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        request.hEvent = done_.get();
        if (!WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &request) &&
            GetLastError() != ERROR_IO_PENDING) {
            return FromError(GetLastError(), 0);
        }
        const HANDLE waits[] = {done_.get(), interrupted_.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIoEx(handle_.get(), &request);
        }
        // Waits for the write to end, cancelled or not: the request and the
        // bytes stay in use until then.
        DWORD written = 0;
        const bool ok = GetOverlappedResult(handle_.get(), &request, &written, TRUE) != 0;
        offset_ += written;
        if (ok && (written > 0 || bytes.empty())) {
            return {WriteStatus::Accepted, written};
        }
        return ok ? WriteResult{WriteStatus::Failed, 0} : FromError(GetLastError(), written);
    }

    void Interrupt() override { SetEvent(interrupted_.get()); }

private:
    OwnedHandle handle_;
    OwnedHandle interrupted_;  // auto-reset: one interrupt ends one wait
    OwnedHandle done_;
    // Where the next write goes: an overlapped handle keeps no file
    // position, so a plain file would otherwise be written at 0 each time.
    std::uint64_t offset_ = 0;
};

class UnusablePipe final : public DevicePipe {
public:
    bool BindWriter() override { return true; }
    WriteResult Write(std::span<const std::uint8_t>) override { return {WriteStatus::Broken, 0}; }
    void Interrupt() override {}
};

HANDLE AsHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

HANDLE NewEvent(BOOL manualReset) { return CreateEventA(nullptr, manualReset, FALSE, nullptr); }

}  // namespace

std::unique_ptr<DevicePipe> Win32HandleIo::Adopt(Handle handle) {
    if (handle == kInvalidHandle || handle == 0) {
        return std::make_unique<UnusablePipe>();
    }
    OwnedHandle device(AsHandle(handle));
    OwnedHandle interrupted(NewEvent(FALSE));
    if (!interrupted.valid()) {
        // Without the event no write could be interrupted: the handle is
        // given back unwritten.
        return std::make_unique<UnusablePipe>();
    }
    if (!IsOverlapped(device.get())) {
        return std::make_unique<SynchronousPipe>(device.Release(), interrupted.Release());
    }
    OwnedHandle done(NewEvent(TRUE));
    if (!done.valid()) {
        return std::make_unique<UnusablePipe>();
    }
    return std::make_unique<OverlappedPipe>(device.Release(), interrupted.Release(), done.Release());
}

HandleKindText Win32HandleIo::Describe(Handle handle) {
    const HANDLE device = AsHandle(handle);
    const char* kind = "unknown";
    switch (GetFileType(device)) {
        case FILE_TYPE_DISK:
            kind = "disk file";
            break;
        case FILE_TYPE_CHAR:
            kind = "character device";
            break;
        case FILE_TYPE_PIPE:
            kind = "pipe or socket";
            break;
        default:
            break;
    }
    return {kind, IsOverlapped(device) ? "overlapped" : "synchronous"};
}

void Win32HandleIo::Close(Handle handle) {
    if (handle != kInvalidHandle) {
        CloseHandle(AsHandle(handle));
    }
}

}  // namespace tarnwick::os::win32
