#include "platform/win32/win32_system.h"

#include <new>
#include <utility>
#include <windows.h>

namespace tarnwick::os::win32 {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Others may read the image while we hold it, but not change it.
FileHandle OpenForReading(const std::string& path, std::uint64_t& size) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &length)) {
        return FileHandle(INVALID_HANDLE_VALUE);
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return file;
}

long long ReadFully(HANDLE file, std::uint8_t* into, std::uint64_t count) {
    std::uint64_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, into + done, want, &got, nullptr)) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return static_cast<long long>(done);
}

}  // namespace

FilePrefix Win32FileReader::ReadPrefix(const std::string& path, std::size_t count) {
    FilePrefix result;
    FileHandle file = OpenForReading(path, result.fileSize);
    if (!file.valid()) {
        return result;
    }
    result.bytes.resize(count);
    const long long got = ReadFully(file.get(), reinterpret_cast<std::uint8_t*>(result.bytes.data()), count);
    if (got < 0) {
        result.bytes.clear();
        result.status = FileStatus::ReadError;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(got));
    result.status = FileStatus::Ok;
    return result;
}

LoadedFile Win32FileReader::LoadWhole(const std::string& path, std::uint64_t sizeLimit) {
    LoadedFile result;
    FileHandle file = OpenForReading(path, result.size);
    if (!file.valid()) {
        return result;
    }
    if (result.size >= sizeLimit) {
        result.status = FileStatus::TooLarge;
        return result;
    }
    result.data.reset(new (std::nothrow) std::uint8_t[result.size]);
    if (result.data == nullptr) {
        result.status = FileStatus::NoMemory;
        return result;
    }
    const long long got = ReadFully(file.get(), result.data.get(), result.size);
    if (got < 0 || static_cast<std::uint64_t>(got) != result.size) {
        result.data.reset();
        result.status = FileStatus::ReadError;
        return result;
    }
    result.status = FileStatus::Ok;
    return result;
}

std::optional<std::string> Win32FileReader::ReadText(const std::string& path, std::size_t sizeLimit) {
    std::uint64_t size = 0;
    FileHandle file = OpenForReading(path, size);
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeLimit)), '\0');
    const long long got = ReadFully(file.get(), reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    if (got < 0) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(got));
    return text;
}

}  // namespace tarnwick::os::win32
