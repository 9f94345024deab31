#pragma once
// The Win32 implementations of the interfaces in platform/system.h.

#include "platform/system.h"

namespace tarnwick::os::win32 {

class Win32LibraryLoader final : public LibraryLoader {
public:
    std::unique_ptr<LoadedLibrary> Load(const std::string& name) override;
};

class Win32HandleIo final : public HandleIo {
public:
    WriteResult Write(Handle handle, std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds wait) override;
    void Close(Handle handle) override;
};

class Win32FileReader final : public FileReader {
public:
    FilePrefix ReadPrefix(const std::string& path, std::size_t count) override;
    LoadedFile LoadWhole(const std::string& path, std::uint64_t sizeLimit) override;
    std::optional<std::string> ReadText(const std::string& path, std::size_t sizeLimit) override;
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
};

}  // namespace tarnwick::os::win32
