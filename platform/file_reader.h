#pragma once
// The FileReader every system uses: what a read must check (a regular
// file, the size limit, a block of memory, a read that brings every byte)
// is written once here, above the system-specific halves, which only open
// and read.

#include <cstdint>
#include <memory>

#include "platform/system.h"

namespace tarnwick::os {

// A file opened for reading by the system-specific half.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    // Reads until `count` bytes came, the file ended, or reading failed:
    // the count read, or nullopt on a read error.
    virtual std::optional<std::uint64_t> ReadFully(std::uint8_t* into, std::uint64_t count) = 0;
};

class FileAccess {
public:
    // What others may do with the file while it is open. The header read
    // takes it alone, so that a file another program is writing is not
    // checked half-written. A text file (lang.ini, the history) is read
    // while others may append to it, so that a transfer's record is never
    // refused for a reader. Where the system has no such lock, all are
    // the same.
    enum class Sharing { Alone, WithReaders, WithWriters };

    virtual ~FileAccess() = default;
    // Opens a regular file (never a folder, a device or a FIFO, which have
    // no size to check and may never end) and gives its size; null when it
    // cannot be opened so.
    virtual std::unique_ptr<OpenFile> Open(const std::string& path, Sharing sharing, std::uint64_t& size) = 0;
};

class CheckedFileReader final : public FileReader {
public:
    explicit CheckedFileReader(FileAccess& access) : access_(access) {}

    FilePrefix ReadPrefix(const std::string& path, std::size_t count) override;
    LoadedFile LoadWhole(const std::string& path, std::uint64_t sizeLimit) override;
    std::optional<std::string> ReadText(const std::string& path, std::size_t sizeLimit) override;

private:
    FileAccess& access_;
};

}  // namespace tarnwick::os
