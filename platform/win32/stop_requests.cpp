#include "platform/stop_requests.h"

#include <atomic>
#include <windows.h>

namespace tarnwick::os {
namespace {

std::atomic<int> requests{0};
HANDLE wake = nullptr;

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI CountRequest(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            requests.fetch_add(1, std::memory_order_relaxed);
            SetEvent(wake);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

StopRequests::StopRequests() {
    requests.store(0);
    wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(CountRequest, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(CountRequest, FALSE);
    CloseHandle(wake);
    wake = nullptr;
}

int StopRequests::Count() const { return requests.load(std::memory_order_relaxed); }

int StopRequests::WaitBeyond(int seen, std::chrono::milliseconds timeout) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    while (Count() <= seen) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            break;
        }
        WaitForSingleObject(wake, static_cast<DWORD>(deadline - now));
    }
    return Count();
}

}  // namespace tarnwick::os
