#pragma once
// A Windows handle with one owner, closed when the owner lets go. Calls
// that fail give either nullptr or INVALID_HANDLE_VALUE; neither is open.

#include <windows.h>

#include "platform/unique_resource.h"

namespace tarnwick::os::win32 {

struct HandleTraits {
    using Value = HANDLE;
    static constexpr HANDLE kNone = nullptr;
    static bool IsOpen(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

using OwnedHandle = UniqueResource<HandleTraits>;

}  // namespace tarnwick::os::win32
