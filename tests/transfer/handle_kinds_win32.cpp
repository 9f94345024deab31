// The kinds of handle on Windows, made as the maker's library most likely
// makes them: synchronous handles, opened without FILE_FLAG_OVERLAPPED,
// written with WriteFile and closed with CloseHandle; and, in case it does
// otherwise, a pipe and a plain file opened with FILE_FLAG_OVERLAPPED.

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/owned_handle.h"
#include "tests/transfer/handle_kinds.h"

namespace tarnwick::testing {
namespace {

using os::win32::OwnedHandle;

// Reads `limit` bytes, or until the writer has gone and all is read.
std::vector<std::uint8_t> ReadFrom(HANDLE file, std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    while (bytes.size() < limit) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, limit - bytes.size()));
        if (!ReadFile(file, buffer, want, &got, nullptr) || got == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

class PipeHandle final : public OpenedHandle {
public:
    PipeHandle(HANDLE device, HANDLE farEnd) : device_(device), farEnd_(farEnd) {}
    os::Handle handle() const override { return reinterpret_cast<os::Handle>(device_); }
    std::optional<std::vector<std::uint8_t>> ReadFarEnd(std::size_t limit) override {
        if (!farEnd_.valid()) {
            return std::nullopt;
        }
        return ReadFrom(farEnd_.get(), limit);
    }
    void CloseFarEnd() override { farEnd_.Reset(); }

private:
    HANDLE device_;
    OwnedHandle farEnd_;
};

class FileHandle final : public OpenedHandle {
public:
    FileHandle(HANDLE device, std::string path) : device_(device), path_(std::move(path)) {}
    os::Handle handle() const override { return reinterpret_cast<os::Handle>(device_); }
    std::optional<std::vector<std::uint8_t>> ReadFarEnd(std::size_t limit) override {
        if (path_.empty()) {
            return std::nullopt;
        }
        const OwnedHandle file(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        return ReadFrom(file.get(), limit);
    }
    void CloseFarEnd() override {}

private:
    HANDLE device_;
    std::string path_;
};

// A named pipe whose writing end is opened for overlapped I/O, with a
// buffer as small as an anonymous pipe's.
std::unique_ptr<OpenedHandle> OpenOverlappedPipe(const std::string& scratchFolder) {
    const std::string name = "\\\\.\\pipe\\tarnwick-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(std::hash<std::string>()(scratchFolder));
    HANDLE readEnd = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                      PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    if (readEnd == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    HANDLE writeEnd =
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (writeEnd == INVALID_HANDLE_VALUE) {
        CloseHandle(readEnd);
        return nullptr;
    }
    return std::make_unique<PipeHandle>(writeEnd, readEnd);
}

std::unique_ptr<OpenedHandle> OpenPipe(const HandleKind& kind) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        return nullptr;
    }
    if (kind.name == "closed_pipe") {
        CloseHandle(readEnd);
        readEnd = INVALID_HANDLE_VALUE;
    } else if (kind.name == "nowait_pipe") {
        DWORD mode = PIPE_NOWAIT;
        SetNamedPipeHandleState(writeEnd, &mode, nullptr, nullptr);
    }
    return std::make_unique<PipeHandle>(writeEnd, readEnd);
}

}  // namespace

std::vector<HandleKind> HandleKindsOfThisSystem() {
    return {
        {"anonymous_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"anonymous_pipe", FarEnd::ReadAWhile, TransferResult::Stopped, TransferFailure::None},
        {"nowait_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"overlapped_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        {"overlapped_pipe", FarEnd::ReadAWhile, TransferResult::Stopped, TransferFailure::None},
        {"plain_file", FarEnd::Sink, TransferResult::Complete, TransferFailure::None},
        {"overlapped_file", FarEnd::Sink, TransferResult::Complete, TransferFailure::None},
        {"nul_device", FarEnd::None, TransferResult::Complete, TransferFailure::None},
        {"closed_pipe", FarEnd::None, TransferResult::Failed, TransferFailure::PipeBroken},
    };
}

std::unique_ptr<OpenedHandle> OpenHandle(const HandleKind& kind, const std::string& scratchFolder) {
    if (kind.name == "overlapped_pipe") {
        return OpenOverlappedPipe(scratchFolder);
    }
    if (kind.name == "plain_file" || kind.name == "overlapped_file" || kind.name == "nul_device") {
        const std::string path = kind.name == "nul_device" ? "NUL" : scratchFolder + "/device.bin";
        const DWORD flags = kind.name == "overlapped_file" ? FILE_FLAG_OVERLAPPED : FILE_ATTRIBUTE_NORMAL;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, flags, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<FileHandle>(file, kind.farEnd == FarEnd::Sink ? path : std::string());
    }
    return OpenPipe(kind);
}

}  // namespace tarnwick::testing
