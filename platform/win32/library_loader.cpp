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

    std::string Path() const override { return ModuleFileName(module_); }

private:
    HMODULE module_;
};

// The system's text for an error code, without its line end.
std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return Utf8Of(message) + " (error " + std::to_string(error) + ")";
}

// Only the application's folder and System32: a library planted in the
// current directory is never picked up.
constexpr DWORD kSearchFolders = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

}  // namespace

std::unique_ptr<LoadedLibrary> Win32LibraryLoader::Load(const std::string& name) {
    HMODULE module = LoadLibraryExW(Widened(name).c_str(), nullptr, kSearchFolders);
    if (module == nullptr) {
        lastError_ = SystemMessage(GetLastError());
        return nullptr;
    }
    lastError_.clear();
    return std::make_unique<Win32Library>(module);
}

std::vector<std::string> Win32LibraryLoader::SearchPlaces(const std::string& name) {
    std::vector<std::string> places;
    const std::string program = ModuleFileName(nullptr);
    if (const std::size_t slash = program.find_last_of("\\/"); slash != std::string::npos) {
        places.push_back(program.substr(0, slash + 1) + name);
    }
    std::wstring system(MAX_PATH, L'\0');
    const DWORD length = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (length > 0 && length < system.size()) {
        system.resize(length);
        places.push_back(Utf8Of(system) + "\\" + name);
    }
    return places;
}

}  // namespace tarnwick::os::win32
