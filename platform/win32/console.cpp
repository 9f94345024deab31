#include "platform/console.h"

#include <windows.h>

namespace tarnwick::os {
namespace {

std::atomic<int> presses{0};

BOOL WINAPI CountPress(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        presses.fetch_add(1, std::memory_order_relaxed);
        return TRUE;
    }
    return FALSE;
}

DWORD HandleIdOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STD_INPUT_HANDLE;
        case StandardStream::Output:
            return STD_OUTPUT_HANDLE;
        case StandardStream::Error:
            break;
    }
    return STD_ERROR_HANDLE;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    const HANDLE handle = GetStdHandle(HandleIdOf(stream));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr &&
           GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

InterruptCounter::InterruptCounter() {
    presses.store(0);
    SetConsoleCtrlHandler(CountPress, TRUE);
}

InterruptCounter::~InterruptCounter() { SetConsoleCtrlHandler(CountPress, FALSE); }

int InterruptCounter::Presses() const { return presses.load(std::memory_order_relaxed); }

}  // namespace tarnwick::os
