#pragma once
// The Win32 implementations of the interfaces in platform/system.h.

#include "platform/file_reader.h"
#include "platform/profile_rules.h"
#include "platform/system.h"

namespace tarnwick::os::win32 {

class Win32LibraryLoader final : public LibraryLoader {
public:
    std::unique_ptr<LoadedLibrary> Load(const std::string& name) override;
    std::vector<std::string> SearchPlaces(const std::string& name) override;
    std::string LastLoadError() override { return lastError_; }

private:
    std::string lastError_;
};

class Win32HandleIo final : public HandleIo {
public:
    std::unique_ptr<DevicePipe> Adopt(Handle handle) override;
    void Close(Handle handle) override;
    HandleKindText Describe(Handle handle) override;
};

class Win32FileAccess final : public FileAccess {
public:
    std::unique_ptr<OpenFile> Open(const std::string& path, Sharing sharing, std::uint64_t& size) override;
};

// The system's own private-profile reader, GetPrivateProfileStringA, which
// takes a path in the ANSI code page. A path that code page cannot spell is
// given by its short name where the volume keeps one; where neither can be
// spelled, the same rules are applied to the file as `files` reads it.
class Win32ProfileStrings final : public ProfileStrings {
public:
    explicit Win32ProfileStrings(FileReader& files) : rules_(files) {}
    std::optional<std::string> Find(const std::string& path, std::string_view section,
                                    std::string_view key) override;

private:
    RulesProfileStrings rules_;
};

class TickClock final : public Clock {
public:
    std::chrono::steady_clock::time_point Now() override;
};

class Win32Sleeper final : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds duration) override;
};

class Win32Process final : public Process {
public:
    std::string ExecutablePath() override;
    std::string SystemVersion() override;
    std::string WineVersion() override;
};

class LocalAppDataHistoryStore final : public HistoryStore {
public:
    std::string Path() override;
    bool Append(const std::string& path, std::string_view line) override;
    std::string UtcNow() override;
    bool Writable(const std::string& path) override;
};

}  // namespace tarnwick::os::win32
