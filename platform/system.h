#pragma once
// The operating system as the rest of the tool sees it: a few small
// interfaces, each replaceable, so that the core never calls the system
// itself and tests can make any call fail. One implementation per system
// lives beside this header (posix/, win32/); RealSystem() hands out the one
// built for this machine.
//
// Rules every implementation keeps:
// - Nothing here throws. Failures come back as values.
// - Every object or handle handed out has exactly one owner, and the
//   owner's destructor or Close() gives it back.
// - No call blocks without a bound given by the caller.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::os {

// A device handle as the device library hands it out: a pointer-sized
// integer (a file descriptor here, a HANDLE on Windows). All ones means none.
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// ---- Dynamic libraries -----------------------------------------------------

// A loaded library. Destroying it unloads it.
class LoadedLibrary {
public:
    virtual ~LoadedLibrary() = default;
    // The address of the entry with this exact name, or null when the
    // library has none.
    virtual void* FindEntry(const char* name) const = 0;
};

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // Loads by bare file name through the system's usual search, which for
    // our executables starts in their own folder. Null when it cannot be
    // loaded (missing, not a library, or a dependency missing).
    virtual std::unique_ptr<LoadedLibrary> Load(const std::string& name) = 0;
    // Whether `name` is there but built for the other width (a 32-bit
    // library for a 64-bit program, or the reverse), so that a user can be
    // told which build to run. Asked only after Load failed.
    virtual bool IsOtherArchitecture(const std::string& /*name*/) { return false; }
};

// ---- Device handles ---------------------------------------------------------

enum class WriteStatus {
    Accepted,  // the handle took `accepted` bytes: at least one, the first ones offered
    NotReady,  // nothing was taken within the wait; the same bytes may be offered again
    Failed,    // this attempt failed; a later one may succeed
    Broken,    // no write on this handle can ever succeed: it is not a usable
               // handle, or its far end is gone (broken pipe, reset connection)
};

struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    std::size_t accepted = 0;
};

// A device handle adopted for writing the image. Its one owner destroys it
// to give the handle back.
//
// The write contract, the same for every kind of handle a device library
// may hand out (a socket, a pipe or FIFO whether opened blocking or not, a
// character device, a plain file) and on every system:
// - Write waits at most `wait`. A handle that can only be written by a call
//   that blocks is written on a thread of its own, which the caller waits
//   for with that deadline.
// - Accepted bytes are counted exactly, also when a write is cut short, and
//   are never offered again by the caller.
// - A write that did not end within the wait is still under way and
//   Write answers NotReady. The caller's next Write must offer the same
//   bytes: it goes on waiting for that same write instead of starting
//   another, so no byte is ever written twice.
// - Cancel ends such a write within about half a second and reports what it
//   had taken. A write that even cancelling cannot end (a driver that
//   ignores it) is left behind: the handle is given back once that write
//   returns, no later write is tried on it, and Cancel reports nothing taken.
// - Destroying the pipe cancels a write under way, as Cancel does, and
//   closes the handle exactly once.
class DevicePipe {
public:
    virtual ~DevicePipe() = default;
    // One write of at most bytes.size() bytes, or the wait for one still
    // under way. May take fewer bytes than offered.
    virtual WriteResult Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) = 0;
    // Ends a write left under way. Accepted with what it had taken, or
    // NotReady when it took nothing or none was under way.
    virtual WriteResult Cancel() = 0;
};

class HandleIo {
public:
    virtual ~HandleIo() = default;
    // Takes over a handle for writing. Never null: a handle that is not
    // usable gives a pipe whose every write is Broken.
    virtual std::unique_ptr<DevicePipe> Adopt(Handle handle) = 0;
    // Gives back a handle that is not written (a presence probe's).
    // Closing kInvalidHandle is a no-op.
    virtual void Close(Handle handle) = 0;
};

// ---- Files -----------------------------------------------------------------

enum class FileStatus {
    Ok,
    CannotOpen,  // missing, no permission, a directory, ...
    ReadError,   // opened, but reading failed
    TooLarge,    // larger than the caller's limit
    NoMemory,    // no block of the file's size could be had
};

struct FilePrefix {
    FileStatus status = FileStatus::CannotOpen;
    std::string bytes;           // what one read of up to `count` bytes gave
    std::uint64_t fileSize = 0;  // the file's real size when it could be asked
};

// A whole file in one heap block of exactly its size.
struct LoadedFile {
    FileStatus status = FileStatus::CannotOpen;
    std::unique_ptr<std::uint8_t[]> data;
    std::uint64_t size = 0;
};

class FileReader {
public:
    virtual ~FileReader() = default;
    // Opens read-only, reads up to `count` bytes with one request, closes.
    virtual FilePrefix ReadPrefix(const std::string& path, std::size_t count) = 0;
    // Loads the whole file. TooLarge when its size is at least `sizeLimit`;
    // ReadError when fewer bytes came than its size.
    virtual LoadedFile LoadWhole(const std::string& path, std::uint64_t sizeLimit) = 0;
    // The whole content of a small text file, at most `sizeLimit` bytes;
    // nullopt when it cannot be read.
    virtual std::optional<std::string> ReadText(const std::string& path,
                                                std::size_t sizeLimit) = 0;
};

// ---- INI files --------------------------------------------------------------

class ProfileStrings {
public:
    virtual ~ProfileStrings() = default;
    // The value of `key` in `section` of the INI file at `path`, as the
    // system's private-profile reader gives it: at most 259 characters,
    // read afresh at every call. Nullopt when the file, the section or the
    // key is missing.
    virtual std::optional<std::string> Find(const std::string& path, std::string_view section,
                                            std::string_view key) = 0;
};

// ---- Time ------------------------------------------------------------------

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point Now() = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// ---- The running process ---------------------------------------------------

class Process {
public:
    virtual ~Process() = default;
    // Full path of the running executable, or empty when it cannot be had.
    virtual std::string ExecutablePath() = 0;
};

// The implementations for this machine, alive for the whole process.
struct System {
    LibraryLoader& libraries;
    HandleIo& handles;
    FileReader& files;
    ProfileStrings& profiles;
    Clock& clock;
    Sleeper& sleeper;
    Process& process;
};

System& RealSystem();

}  // namespace tarnwick::os
