#include "platform/win32/win32_system.h"

#include <utility>
#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarnwick::os::win32 {
namespace {

class Win32OpenFile final : public OpenFile {
public:
    explicit Win32OpenFile(HANDLE file) : file_(file) {}
    Win32OpenFile(const Win32OpenFile&) = delete;
    Win32OpenFile& operator=(const Win32OpenFile&) = delete;
    ~Win32OpenFile() override { CloseHandle(file_); }

    std::optional<std::uint64_t> ReadFully(std::uint8_t* into, std::uint64_t count) override {
        std::uint64_t done = 0;
        while (done < count) {
            const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(count - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(file_, into + done, want, &got, nullptr)) {
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            done += got;
        }
        return done;
    }

private:
    HANDLE file_;
};

}  // namespace

// Alone: no other program may open the file meanwhile, and one that holds
// it open already (even only to read) makes this open fail.
std::unique_ptr<OpenFile> Win32FileAccess::Open(const std::string& path, Sharing sharing, std::uint64_t& size) {
    const DWORD share = sharing == Sharing::Alone         ? 0
                        : sharing == Sharing::WithReaders ? FILE_SHARE_READ
                                                          : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(Widened(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    auto opened = std::make_unique<Win32OpenFile>(file);
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
        return nullptr;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return opened;
}

}  // namespace tarnwick::os::win32
