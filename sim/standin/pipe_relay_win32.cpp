#include "sim/standin/pipe_relay_win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::sim::win32 {
namespace {

// Larger than any one write a tool makes, so that one read takes it whole.
constexpr DWORD kRelayChunk = 64 * 1024;
// How often a relay waiting for room on the socket looks at the pipe.
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
            // The bytes are taken out of the pipe, which finishes the
            // writer's WriteFile and counts them, before they are sent: a
            // write the writer cancels has given the simulator nothing it
            // does not count. They are taken only once the socket has room,
            // so that they go on at once, before the writer can close and
            // end its process.
            const Room room = WaitForRoom();
            if (room == Room::WriterGaveUp || room == Room::ConnectionFailed) {
                return;
            }
            DWORD count = 0;
            if (room == Room::WriterDone || !ReadFile(pipe_.get(), buffer_.data(), kRelayChunk, &count, nullptr) ||
                count == 0) {
                // The writer closed its end and every byte has been passed
                // on: the simulator gets them all, then the end.
                shutdown(connection_.get(), SD_SEND);
                return;
            }
            if (!SendAll(count)) {
                return;
            }
        }
    }

private:
    enum class Room { Free, WriterDone, WriterGaveUp, ConnectionFailed };

    // Until the socket takes bytes without waiting. Meanwhile the
    // connection is set to be reset when it closes: if the writer gives up
    // on a device that stopped reading, or its process ends, the simulator
    // learns at once, where a plain close would queue behind bytes it never
    // reads. A writer that closes its end while none of its writes waits
    // has simply finished, and the close is graceful again.
    Room WaitForRoom() {
        bool resetOnClose = false;
        bool writeWaited = false;
        for (;;) {
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(connection_.get(), &writable);
            timeval wait{0, resetOnClose ? kWriterCheckMicroseconds : 0};
            const int ready = select(0, nullptr, &writable, nullptr, &wait);
            if (ready < 0) {
                return Room::ConnectionFailed;
            }
            if (ready > 0) {
                return !resetOnClose || SetResetOnClose(false) ? Room::Free : Room::ConnectionFailed;
            }
            DWORD waiting = 0;
            if (!PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &waiting, nullptr)) {
                if (writeWaited) {
                    return Room::WriterGaveUp;
                }
                return !resetOnClose || SetResetOnClose(false) ? Room::WriterDone : Room::ConnectionFailed;
            }
            writeWaited = writeWaited || waiting > 0;
            if (!resetOnClose && !SetResetOnClose(true)) {
                return Room::ConnectionFailed;
            }
            resetOnClose = true;
        }
    }

    // The bytes taken, all of them: the writer has counted them, so they
    // are delivered whatever the writer does now. Room was there when they
    // were taken, so this waits only when a send goes through in part.
    // False when the connection failed.
    bool SendAll(DWORD count) {
        for (DWORD sent = 0; sent < count;) {
            const int now = send(connection_.get(), reinterpret_cast<const char*>(buffer_.data()) + sent,
                                 static_cast<int>(count - sent), 0);
            if (now > 0) {
                sent += static_cast<DWORD>(now);
                continue;
            }
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(connection_.get(), &writable);
            timeval wait{0, kWriterCheckMicroseconds};
            if (WSAGetLastError() != WSAEWOULDBLOCK || select(0, nullptr, &writable, nullptr, &wait) < 0) {
                return false;
            }
        }
        return true;
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
