// The history lives in the user's local application data, and every record
// is one WriteFile on a handle opened for appending only: Windows places
// each such write whole at the end of the file, whoever else appends at once.

#include "platform/win32/win32_system.h"

#include <cstdio>
#include <windows.h>

#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::os::win32 {
namespace {

std::string Variable(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length < value.size() ? length : 0);
    return Utf8Of(value);
}

// Every folder on the way to `path`'s own. A drive ("C:") or a share's
// first parts cannot be made and need not be.
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find_first_of("\\/"); slash != std::string::npos;
         slash = path.find_first_of("\\/", slash + 1)) {
        if (slash > 0) {
            CreateDirectoryW(Widened(path.substr(0, slash)).c_str(), nullptr);
        }
    }
}

}  // namespace

std::string LocalAppDataHistoryStore::Path() {
    if (std::string named = Variable(L"TARNWICK_HISTORY"); !named.empty()) {
        return named;
    }
    if (const std::string local = Variable(L"LOCALAPPDATA"); !local.empty()) {
        return local + "\\Tarnwick\\history.jsonl";
    }
    return {};
}

bool LocalAppDataHistoryStore::Append(const std::string& path, std::string_view line) {
    if (path.empty()) {
        return false;
    }
    MakeFolders(path);
    const OwnedHandle file(CreateFileW(Widened(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

bool LocalAppDataHistoryStore::Writable(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(Widened(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const OwnedHandle file(CreateFileW(Widened(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.valid();
    }
    for (std::size_t slash = path.find_last_of("\\/"); slash != std::string::npos && slash > 0;
         slash = path.find_last_of("\\/", slash - 1)) {
        const DWORD folder = GetFileAttributesW(Widened(path.substr(0, slash)).c_str());
        if (folder != INVALID_FILE_ATTRIBUTES) {
            return (folder & FILE_ATTRIBUTE_DIRECTORY) != 0;
        }
    }
    return false;
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
