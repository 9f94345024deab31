#include "platform/console.h"

#include <cstdlib>
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide_text.h"

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

namespace {

// The console's own code page while this program has it set to UTF-8; 0
// when it was left alone.
UINT originalCodePage = 0;

void RestoreCodePage() {
    if (originalCodePage != 0) {
        SetConsoleOutputCP(originalCodePage);
    }
}

// Ctrl-C or Ctrl-Break with no stop handler over it, or the console
// closing: the process is about to end without running its exit handlers.
BOOL WINAPI RestoreBeforeTheEnd(DWORD) {
    RestoreCodePage();
    return FALSE;  // the next handler, or the system's, decides
}

}  // namespace

// The console belongs to the user's shell: it gets its code page back at
// every end, a normal one through the exit handlers and the others through
// the console's control handler.
void UseUtf8Output() {
    const UINT current = GetConsoleOutputCP();
    if (current == 0 || current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) {
        return;
    }
    originalCodePage = current;
    std::atexit(RestoreCodePage);
    SetConsoleCtrlHandler(RestoreBeforeTheEnd, TRUE);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(win32::Utf8Of(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace tarnwick::os
