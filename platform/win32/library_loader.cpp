#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarnwick::os::win32 {
namespace {

class Win32Library final : public LoadedLibrary {
public:
    explicit Win32Library(HMODULE module) : module_(module) {}
    Win32Library(const Win32Library&) = delete;
    Win32Library& operator=(const Win32Library&) = delete;
    ~Win32Library() override { FreeLibrary(module_); }

    void* FindEntry(const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(module_, name));
    }

    std::string Path() const override {
        std::wstring path(32768, L'\0');
        const DWORD length = GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
        path.resize(length < path.size() ? length : 0);
        return Utf8Of(path);
    }

private:
    HMODULE module_;
};

// Only the application's folder and System32: a library planted in the
// current directory is never picked up.
constexpr DWORD kSearchFolders = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

}  // namespace

std::unique_ptr<LoadedLibrary> Win32LibraryLoader::Load(const std::string& name) {
    HMODULE module = LoadLibraryExW(Widened(name).c_str(), nullptr, kSearchFolders);
    if (module == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32Library>(module);
}

bool Win32LibraryLoader::IsOtherArchitecture(const std::string& name) {
    HMODULE module = LoadLibraryExW(Widened(name).c_str(), nullptr, kSearchFolders);
    if (module != nullptr) {
        FreeLibrary(module);
        return false;
    }
    return GetLastError() == ERROR_BAD_EXE_FORMAT;
}

}  // namespace tarnwick::os::win32
