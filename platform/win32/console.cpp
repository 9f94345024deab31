#include "platform/console.h"

#include <windows.h>

namespace tarnwick::os {
namespace {

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

void UseUtf8Output() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace tarnwick::os
