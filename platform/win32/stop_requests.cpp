#include "platform/stop_requests.h"

#include <atomic>
#include <windows.h>

namespace tarnwick::os {
namespace {

std::atomic<int> interrupts{0};
std::atomic<int> endings{0};
HANDLE wake = nullptr;
// Set once the command has stopped and no longer counts requests.
HANDLE released = nullptr;

// Windows ends the process as soon as the handler of a closing console
// returns (and at the latest about 5 s after the event): the handler waits
// until the command has stopped after its current piece, which is far
// sooner, so that the device is not cut off mid-write.
constexpr DWORD kCloseWaitMs = 4500;

// Runs on a thread of its own that the system starts for each event.
// Closing the console, logging off and shutting down are a hang-up: the
// system ends the process soon after this returns, so they ask to stop at
// once.
BOOL WINAPI CountRequest(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            interrupts.fetch_add(1, std::memory_order_relaxed);
            SetEvent(wake);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            endings.fetch_add(1, std::memory_order_relaxed);
            SetEvent(wake);
            WaitForSingleObject(released, kCloseWaitMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

std::string_view EndRequestName(EndRequest request) {
    return request == EndRequest::Terminate ? "a request to end" : "the console closing";
}

StopRequests::StopRequests() {
    interrupts.store(0);
    endings.store(0);
    wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(CountRequest, TRUE);
}

// The handle of the closing console's wait stays open: the handler may
// still be waiting on it when the process ends.
StopRequests::~StopRequests() {
    SetEvent(released);
    SetConsoleCtrlHandler(CountRequest, FALSE);
    CloseHandle(wake);
    wake = nullptr;
}

int StopRequests::Count() const {
    return interrupts.load(std::memory_order_relaxed) + endings.load(std::memory_order_relaxed);
}

int StopRequests::Interrupts() const { return interrupts.load(std::memory_order_relaxed); }

std::optional<EndRequest> StopRequests::Ending() const {
    if (endings.load(std::memory_order_relaxed) > 0) {
        return EndRequest::HangUp;
    }
    return std::nullopt;
}

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

// Windows has no death by signal to pass on: the status is the report.
int EndWithStatus(int status) { return status; }

}  // namespace tarnwick::os
