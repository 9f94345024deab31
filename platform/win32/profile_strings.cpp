#include "platform/win32/win32_system.h"

#include <string_view>
#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarnwick::os::win32 {
namespace {

// What the reader gives back when the file, the section or the key is
// missing: bytes no lang.ini holds, so a missing key is told from an empty
// value.
constexpr const char* kMissing = "\x7F\x01\x7F";

// The file's full path as the ANSI calls can take it: its long name, or
// its short one. A relative path would be looked for in the Windows folder.
std::optional<std::string> AnsiPathOf(const std::string& path) {
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(Widened(path).c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        return std::nullopt;
    }
    full.resize(length);
    if (std::optional<std::string> ansi = AnsiSpelling(full)) {
        return ansi;
    }
    std::wstring shortName(32768, L'\0');
    const DWORD shortLength = GetShortPathNameW(full.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (shortLength == 0 || shortLength >= shortName.size()) {
        return std::nullopt;
    }
    shortName.resize(shortLength);
    return AnsiSpelling(shortName);
}

}  // namespace

std::optional<std::string> Win32ProfileStrings::Find(const std::string& path, std::string_view section,
                                                     std::string_view key) {
    const std::optional<std::string> ansiPath = AnsiPathOf(path);
    if (!ansiPath || ansiPath->size() >= MAX_PATH) {
        return rules_.Find(path, section, key);
    }
    const std::string sectionName(section);
    const std::string keyName(key);
    char value[260];
    const DWORD copied =
        GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), kMissing, value, sizeof value, ansiPath->c_str());
    const std::string_view found(value, copied);
    if (found == kMissing) {
        return std::nullopt;
    }
    return std::string(found);
}

}  // namespace tarnwick::os::win32
