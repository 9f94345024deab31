// The history lives in the user's local application data, and every record
// is one WriteFile on a handle opened for appending only: Windows places
// each such write whole at the end of the file, whoever else appends at once.

#include "platform/win32/win32_system.h"

#include <cstdio>
#include <windows.h>

#include "platform/win32/owned_handle.h"

namespace tarnwick::os::win32 {
namespace {

std::string Variable(const char* name) {
    char value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// Every folder on the way to `path`'s own. A drive ("C:") or a share's
// first parts cannot be made and need not be.
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find_first_of("\\/"); slash != std::string::npos;
         slash = path.find_first_of("\\/", slash + 1)) {
        if (slash > 0) {
            CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
        }
    }
}

}  // namespace

std::string LocalAppDataHistoryStore::Path() {
    if (std::string named = Variable("TARNWICK_HISTORY"); !named.empty()) {
        return named;
    }
    if (const std::string local = Variable("LOCALAPPDATA"); !local.empty()) {
        return local + "\\Tarnwick\\history.jsonl";
    }
    return {};
}

bool LocalAppDataHistoryStore::Append(const std::string& path, std::string_view line) {
    if (path.empty()) {
        return false;
    }
    MakeFolders(path);
    const OwnedHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

std::string LocalAppDataHistoryStore::UtcNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char text[80];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace tarnwick::os::win32
