#include "platform/posix/posix_system.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarnwick::os::posix {
namespace {

// An open descriptor with one owner.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO from blocking
// the open; anything but a regular file is refused as unopenable, since a
// device or a FIFO has no size to check and may never end.
Descriptor OpenRegularFile(const std::string& path, std::uint64_t& size) {
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.valid()) {
        return file;
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Descriptor(-1);
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return file;
}

// Reads until `count` bytes came, the file ended, or reading failed.
// Returns the count read, or -1 on a read error.
long long ReadFully(int fd, std::uint8_t* into, std::uint64_t count) {
    std::uint64_t done = 0;
    while (done < count) {
        const std::uint64_t want = std::min<std::uint64_t>(count - done, 1u << 30);
        const ssize_t got = read(fd, into + done, want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<long long>(done);
}

}  // namespace

FilePrefix PosixFileReader::ReadPrefix(const std::string& path, std::size_t count) {
    FilePrefix result;
    Descriptor file = OpenRegularFile(path, result.fileSize);
    if (!file.valid()) {
        result.status = FileStatus::CannotOpen;
        return result;
    }
    result.bytes.resize(count);
    const long long got =
        ReadFully(file.get(), reinterpret_cast<std::uint8_t*>(result.bytes.data()), count);
    if (got < 0) {
        result.bytes.clear();
        result.status = FileStatus::ReadError;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(got));
    result.status = FileStatus::Ok;
    return result;
}

LoadedFile PosixFileReader::LoadWhole(const std::string& path, std::uint64_t sizeLimit) {
    LoadedFile result;
    Descriptor file = OpenRegularFile(path, result.size);
    if (!file.valid()) {
        result.status = FileStatus::CannotOpen;
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

std::optional<std::string> PosixFileReader::ReadText(const std::string& path,
                                                     std::size_t sizeLimit) {
    std::uint64_t size = 0;
    Descriptor file = OpenRegularFile(path, size);
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeLimit)), '\0');
    const long long got =
        ReadFully(file.get(), reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    if (got < 0) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(got));
    return text;
}

}  // namespace tarnwick::os::posix
