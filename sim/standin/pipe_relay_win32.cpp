#include "sim/standin/pipe_relay_win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::sim::win32 {
namespace {

// Larger than any one write a tool makes, so that one peek takes it whole.
constexpr DWORD kRelayChunk = 64 * 1024;
// How often a relay waiting for room on the socket looks whether the
// writer has let go of the pipe.
constexpr long kWriterCheckMicroseconds = 100'000;

class Relay {
public:
    Relay(OwnedSocket connection, OwnedHandle pipe, HMODULE module)
        : connection_(std::move(connection)), pipe_(std::move(pipe)), module_(module), buffer_(kRelayChunk) {}

    HMODULE module() const { return module_; }

    // Until the writer closes its end or the simulator's end goes away.
    void Run() {
        u_long nonBlocking = 1;
        ioctlsocket(connection_.get(), FIONBIO, &nonBlocking);
        for (;;) {
            // A read of nothing waits for the next write without taking it:
            // the bytes stay in the pipe, and the writer's WriteFile
            // unfinished, until they are on the socket.
            DWORD count = 0;
            if (!ReadFile(pipe_.get(), buffer_.data(), 0, &count, nullptr) ||
                !PeekNamedPipe(pipe_.get(), buffer_.data(), kRelayChunk, &count, nullptr, nullptr)) {
                // The writer closed its end and every byte has been passed on.
                shutdown(connection_.get(), SD_SEND);
                return;
            }
            if (!SendAll(count)) {
                // The writer gave up on a device that stopped reading (the
                // connection is reset as it closes), or the device went
                // away: closing the pipe breaks a WriteFile still waiting.
                return;
            }
            DWORD taken = 0;
            if (!ReadFile(pipe_.get(), buffer_.data(), count, &taken, nullptr)) {
                return;  // the writer cancelled and closed: nothing more comes
            }
        }
    }

private:
    // While a send waits for room the connection is set to be reset when it
    // closes: if the writer gives up, or its process ends before this
    // thread sees it, the simulator learns at once, where a plain close
    // would queue behind bytes it never reads. Once the bytes are taken the
    // close is graceful again, before the writer can go on: a transfer that
    // ends loses nothing. False when the writer or the connection is gone.
    bool SendAll(DWORD count) {
        bool resetOnClose = false;
        for (DWORD sent = 0; sent < count;) {
            const int now = send(connection_.get(), reinterpret_cast<const char*>(buffer_.data()) + sent,
                                 static_cast<int>(count - sent), 0);
            if (now > 0) {
                sent += static_cast<DWORD>(now);
                continue;
            }
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                return false;
            }
            if (!resetOnClose) {
                resetOnClose = SetResetOnClose(true);
            }
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(connection_.get(), &writable);
            timeval wait{0, kWriterCheckMicroseconds};
            if (select(0, nullptr, &writable, nullptr, &wait) == 0 && WriterGone()) {
                return false;
            }
        }
        if (resetOnClose) {
            SetResetOnClose(false);
        }
        return true;
    }

    bool WriterGone() const {
        DWORD available = 0;
        return !PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr) &&
               GetLastError() == ERROR_BROKEN_PIPE;
    }

    bool SetResetOnClose(bool reset) {
        const linger closing{static_cast<u_short>(reset ? 1 : 0), 0};
        return setsockopt(connection_.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&closing),
                          sizeof closing) == 0;
    }

    OwnedSocket connection_;
    OwnedHandle pipe_;  // the read end
    HMODULE module_;    // this library, held while the thread runs its code
    std::vector<std::uint8_t> buffer_;
};

DWORD WINAPI RelayMain(void* parameter) {
    std::unique_ptr<Relay> relay(static_cast<Relay*>(parameter));
    relay->Run();
    const HMODULE module = relay->module();
    relay.reset();  // socket and pipe go before the code that closes them
    FreeLibraryAndExitThread(module, 0);
}

// Unique while the connection is open, since the relay holds it; the first
// instance flag refuses a name someone else made first.
std::wstring PipeName(SOCKET connection) {
    return L"\\\\.\\pipe\\vantrel-standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(static_cast<unsigned long long>(connection));
}

}  // namespace

HANDLE StartRelay(OwnedSocket connection) {
    const std::wstring name = PipeName(connection.get());
    OwnedHandle readEnd(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 0, 0, nullptr));
    if (!readEnd.valid()) {
        return nullptr;
    }
    // Synchronous, as a device library's handle most likely is.
    OwnedHandle writeEnd(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    HMODULE module = nullptr;
    if (!writeEnd.valid() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&RelayMain)), &module)) {
        return nullptr;
    }
    auto relay = std::make_unique<Relay>(std::move(connection), std::move(readEnd), module);
    OwnedHandle thread(CreateThread(nullptr, 0, RelayMain, relay.get(), 0, nullptr));
    if (!thread.valid()) {
        FreeLibrary(module);
        return nullptr;
    }
    relay.release();  // the thread owns it now
    return writeEnd.Release();
}

}  // namespace tarnwick::sim::win32
