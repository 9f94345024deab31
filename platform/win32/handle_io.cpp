#include "platform/win32/win32_system.h"

#include <windows.h>

namespace tarnwick::os::win32 {

WriteResult Win32HandleIo::Write(Handle handle, std::span<const std::uint8_t> bytes,
                                 std::chrono::milliseconds wait) {
    if (handle == kInvalidHandle) {
        return {WriteStatus::Failed, 0};
    }
    // The device library's pipes are opened for synchronous writes; a
    // write that the device does not finish within the wait is cancelled
    // from a one-shot timer so that the caller gets control back.
    HANDLE device = reinterpret_cast<HANDLE>(handle);
    HANDLE thread = GetCurrentThread();
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    HANDLE timer = nullptr;
    auto cancel = [](PVOID thread, BOOLEAN) { CancelSynchronousIo(static_cast<HANDLE>(thread)); };
    CreateTimerQueueTimer(&timer, nullptr, cancel, self, static_cast<DWORD>(wait.count()), 0,
                          WT_EXECUTEONLYONCE);
    DWORD written = 0;
    const BOOL ok = WriteFile(device, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (timer != nullptr) {
        DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    }
    if (self != nullptr) {
        CloseHandle(self);
    }
    if (ok && written > 0) {
        return {WriteStatus::Accepted, written};
    }
    if (error == ERROR_OPERATION_ABORTED || (ok && written == 0 && !bytes.empty())) {
        return {WriteStatus::NotReady, 0};
    }
    return {ok ? WriteStatus::Accepted : WriteStatus::Failed, 0};
}

void Win32HandleIo::Close(Handle handle) {
    if (handle != kInvalidHandle) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
}

}  // namespace tarnwick::os::win32
