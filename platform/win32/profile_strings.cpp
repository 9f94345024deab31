#include "platform/win32/win32_system.h"

#include <string_view>
#include <windows.h>

namespace tarnwick::os::win32 {
namespace {

// What the reader gives back when the file, the section or the key is
// missing: bytes no lang.ini holds, so a missing key is told from an empty
// value.
constexpr const char* kMissing = "\x7F\x01\x7F";

}  // namespace

std::optional<std::string> Win32ProfileStrings::Find(const std::string& path, std::string_view section,
                                                     std::string_view key) {
    // A relative path would be looked for in the Windows folder.
    char fullPath[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, fullPath, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    const std::string sectionName(section);
    const std::string keyName(key);
    char value[260];
    const DWORD copied =
        GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), kMissing, value, sizeof value, fullPath);
    const std::string_view found(value, copied);
    if (found == kMissing) {
        return std::nullopt;
    }
    return std::string(found);
}

}  // namespace tarnwick::os::win32
