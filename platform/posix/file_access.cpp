#include "platform/posix/posix_system.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/descriptor.h"

namespace tarnwick::os::posix {
namespace {

class PosixOpenFile final : public OpenFile {
public:
    explicit PosixOpenFile(Descriptor file) : file_(std::move(file)) {}

    std::optional<std::uint64_t> ReadFully(std::uint8_t* into, std::uint64_t count) override {
        std::uint64_t done = 0;
        while (done < count) {
            const std::uint64_t want = std::min<std::uint64_t>(count - done, 1u << 30);
            const ssize_t got = read(file_.get(), into + done, want);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            done += static_cast<std::uint64_t>(got);
        }
        return done;
    }

private:
    Descriptor file_;
};

}  // namespace

// O_NONBLOCK keeps a FIFO from blocking the open; it is then refused, as is
// anything else but a regular file. There is no lock to take, so a file is
// opened read-only whatever the sharing asked for.
std::unique_ptr<OpenFile> PosixFileAccess::Open(const std::string& path, Sharing, std::uint64_t& size) {
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (!file.valid() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return nullptr;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return std::make_unique<PosixOpenFile>(std::move(file));
}

}  // namespace tarnwick::os::posix
