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
#include <vector>

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
    // The full path of the file the system loaded; empty when it cannot
    // tell.
    virtual std::string Path() const { return {}; }
};

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // Loads by bare file name through the system's usual search, which for
    // our executables starts in their own folder. Null when it cannot be
    // loaded (missing, not a library, or a dependency missing).
    virtual std::unique_ptr<LoadedLibrary> Load(const std::string& name) = 0;
    // Where Load looks for a bare `name`, in its order, as full paths.
    virtual std::vector<std::string> SearchPlaces(const std::string& /*name*/) { return {}; }
    // The system's own words for why the last Load failed; empty when it
    // gave none.
    virtual std::string LastLoadError() { return {}; }
};

// ---- Device handles ---------------------------------------------------------

enum class WriteStatus {
    Accepted,     // the handle took `accepted` bytes: at least one, the first ones offered
    Interrupted,  // Interrupt ended the write before it took anything
    Failed,       // this attempt failed; a later one may succeed
    Broken,       // no write on this handle can ever succeed: it is not a usable
                  // handle, or the device behind it went away
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
// character device, a plain file, a handle opened for overlapped I/O) and
// on every system:
// - One thread writes: the writer. It calls BindWriter once, then Write as
//   often as it likes. Write is one write straight from the caller's bytes
//   on the writer's own thread: a write the handle takes at once costs one
//   system call and nothing more.
// - Write returns when the handle took at least one byte, failed, or was
//   interrupted. It may block for as long as the device makes it; what
//   bounds it is Interrupt.
// - Interrupt, from any other thread while the writer is inside Write,
//   makes that write return soon. One that lands just before the write
//   begins may be lost, so the caller repeats it until the write returns.
//   Interrupting when no write is under way is harmless.
// - Accepted bytes are counted exactly, also when an interrupt cut a write
//   short, and are never offered again by the caller.
// - A write that even Interrupt cannot end (a driver that ignores it) goes
//   on using the caller's bytes and this pipe until it returns: whoever
//   gives up on it keeps both alive until then.
// - Destroying the pipe closes the handle exactly once. No write may be
//   under way then.
class DevicePipe {
public:
    virtual ~DevicePipe() = default;
    // On the writer thread, before its first Write: makes the thread
    // reachable by Interrupt, whatever the thread inherited. False when it
    // cannot be; then no write may be tried, since none could be bounded.
    virtual bool BindWriter() = 0;
    // One write of at most bytes.size() bytes. May take fewer than offered.
    virtual WriteResult Write(std::span<const std::uint8_t> bytes) = 0;
    // From another thread: ends the writer's write under way soon.
    virtual void Interrupt() = 0;
};

// What kind of handle a device library handed out, for a user's report.
struct HandleKindText {
    std::string kind;  // "socket", "FIFO or pipe", "character device", "file", "disk", ...
    std::string mode;  // "blocking" / "non-blocking"; "synchronous" / "overlapped"
};

class HandleIo {
public:
    virtual ~HandleIo() = default;
    // Looks at a handle without writing to it.
    virtual HandleKindText Describe(Handle /*handle*/) { return {}; }
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

// Gives a FileBlock back to the system.
class FileBlockRelease {
public:
    explicit FileBlockRelease(std::size_t length = 0) : length_(length) {}
    void operator()(std::uint8_t* block) const;

private:
    std::size_t length_;
};

// Memory for a whole file, with one owner. It is had from the system in
// the largest pages the system will give: a fresh block of hundreds of MiB
// in small pages costs more in page faults than reading the file into it.
using FileBlock = std::unique_ptr<std::uint8_t[], FileBlockRelease>;

// A block of at least `size` bytes, its pages already in place; null when
// no such block can be had.
FileBlock AllocateFileBlock(std::uint64_t size);

// A whole file in one block.
struct LoadedFile {
    FileStatus status = FileStatus::CannotOpen;
    FileBlock data;
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

// ---- The transfer history ----------------------------------------------------

// The file every transfer is recorded in, one line each.
class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    // $TARNWICK_HISTORY, else the system's place for a user's state
    // (tarnwick/history.jsonl under $XDG_STATE_HOME or ~/.local/state;
    // Tarnwick\history.jsonl under %LOCALAPPDATA%). Empty when there is none.
    virtual std::string Path() = 0;
    // Appends `line`, which ends with its line feed, with one write, so that
    // two programs appending at once never mix their lines. Makes the file
    // and its folder when they are missing. False when it cannot.
    virtual bool Append(const std::string& path, std::string_view line) = 0;
    // Now, in UTC, as ISO 8601 with milliseconds: 2026-12-09T15:48:17.123Z.
    virtual std::string UtcNow() = 0;
    // Whether Append could write to `path`, asked without writing: the file
    // is writable, or the nearest folder on its way that exists is.
    virtual bool Writable(const std::string& /*path*/) { return false; }
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
    // The system and its version, as a user would name it in a report.
    virtual std::string SystemVersion() { return {}; }
    // Wine's version when the program runs under Wine; empty otherwise.
    virtual std::string WineVersion() { return {}; }
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
    HistoryStore& history;
};

System& RealSystem();

}  // namespace tarnwick::os
