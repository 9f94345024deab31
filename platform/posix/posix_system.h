#pragma once
// The POSIX implementations of the interfaces in platform/system.h.

#include "platform/file_reader.h"
#include "platform/system.h"

namespace tarnwick::os::posix {

class DlLibraryLoader final : public LibraryLoader {
public:
    std::unique_ptr<LoadedLibrary> Load(const std::string& name) override;
    std::vector<std::string> SearchPlaces(const std::string& name) override;
    std::string LastLoadError() override { return lastError_; }

private:
    std::string lastError_;
};

class FdHandleIo final : public HandleIo {
public:
    // A device that goes away must be a failed write, not a dead process.
    FdHandleIo();
    std::unique_ptr<DevicePipe> Adopt(Handle handle) override;
    void Close(Handle handle) override;
    HandleKindText Describe(Handle handle) override;
};

class PosixFileAccess final : public FileAccess {
public:
    std::unique_ptr<OpenFile> Open(const std::string& path, Sharing sharing, std::uint64_t& size) override;
};

class SteadyClock final : public Clock {
public:
    std::chrono::steady_clock::time_point Now() override;
};

class ThreadSleeper final : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds duration) override;
};

class LinuxProcess final : public Process {
public:
    std::string ExecutablePath() override;
    std::string SystemVersion() override;
};

class XdgHistoryStore final : public HistoryStore {
public:
    std::string Path() override;
    bool Append(const std::string& path, std::string_view line) override;
    std::string UtcNow() override;
    bool Writable(const std::string& path) override;
};

}  // namespace tarnwick::os::posix
