// A stand-in for the device maker's library on Windows: its two entries
// reach vantrel-sim over loopback TCP, at the address in $VANTREL_SIM_TCP
// (such as 127.0.0.1:5555), instead of a USB cable. Under Wine the
// simulator runs as the Linux program it is.
//
// Every answer is a real Windows handle that stays valid after the library
// is unloaded and that CloseHandle gives back: for an attached device the
// null device (a socket must not be closed with CloseHandle), and for the
// pipe a synchronous pipe relayed to the connection (pipe_relay_win32.h
// says why). Nothing here may hang the caller: a probe
// gives up within 100 ms, and a pipe request within half a second.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "sim/sim_protocol.h"
#include "sim/standin/pipe_relay_win32.h"
#include "sim/standin/win32_owners.h"

namespace {

using namespace tarnwick::sim;
using namespace tarnwick::sim::win32;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* kAddressVariable = "VANTREL_SIM_TCP";
constexpr std::intptr_t kNone = -1;
constexpr auto kProbeLimit = std::chrono::milliseconds(80);
constexpr auto kPipeLimit = std::chrono::milliseconds(500);

// "a.b.c.d:port" from the environment; nullopt when unset or malformed.
std::optional<sockaddr_in> SimulatorAddress() {
    char text[64];
    const DWORD length = GetEnvironmentVariableA(kAddressVariable, text, sizeof text);
    if (length == 0 || length >= sizeof text) {
        return std::nullopt;
    }
    const std::string value(text, length);
    const std::size_t colon = value.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    unsigned port = 0;
    if (colon == std::string::npos || InetPtonA(AF_INET, value.substr(0, colon).c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    const char* digits = value.c_str() + colon + 1;
    const char* end = value.c_str() + value.size();
    const auto [stop, error] = std::from_chars(digits, end, port);
    if (error != std::errc() || stop != end || port == 0 || port > 65535) {
        return std::nullopt;
    }
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

// Winsock is started once per process and never cleaned up: a cleanup that
// brings its count to zero would close the connections handed out. It is
// pinned so that its state, and the count, outlive this library, which the
// tool loads afresh for every call.
OwnedSocket NewSocket() {
    SOCKET created = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    if (created == INVALID_SOCKET && WSAGetLastError() == WSANOTINITIALISED) {
        HMODULE winsock = nullptr;
        WSADATA data;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"ws2_32.dll", &winsock) ||
            WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            return OwnedSocket();
        }
        created = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    }
    return OwnedSocket(created);
}

// Waits until `socket` is ready as `forWriting` says, or the deadline.
bool WaitReady(SOCKET socket, bool forWriting, SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) {
        return false;
    }
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval wait{static_cast<long>(left.count() / 1'000'000), static_cast<long>(left.count() % 1'000'000)};
    return select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait) > 0 &&
           FD_ISSET(socket, &ready) && !FD_ISSET(socket, &failed);
}

// Connects, sends `request`, and waits for the one-line answer until
// `deadline`. Gives the connection, blocking again, when the answer is "1";
// otherwise none, with nothing left open.
OwnedSocket Ask(const std::string& request, SteadyClock::time_point deadline) {
    const std::optional<sockaddr_in> address = SimulatorAddress();
    if (!address) {
        return OwnedSocket();
    }
    OwnedSocket connection = NewSocket();
    u_long nonBlocking = 1;
    if (!connection.valid() || ioctlsocket(connection.get(), FIONBIO, &nonBlocking) != 0) {
        return OwnedSocket();
    }
    // Over TCP a connect may take its time (a port nobody listens on can
    // answer late), so it is waited for with the caller's bound.
    const bool connecting = connect(connection.get(), reinterpret_cast<const sockaddr*>(&*address),
                                    sizeof *address) == 0 ||
                            WSAGetLastError() == WSAEWOULDBLOCK;
    int problem = 0;
    int problemSize = sizeof problem;
    bool accepted = connecting && WaitReady(connection.get(), true, deadline) &&
                    getsockopt(connection.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&problem),
                               &problemSize) == 0 &&
                    problem == 0 &&
                    send(connection.get(), request.data(), static_cast<int>(request.size()), 0) ==
                        static_cast<int>(request.size());
    char answer[2] = {0, 0};
    for (int got = 0; accepted && got < static_cast<int>(sizeof answer);) {
        if (!WaitReady(connection.get(), false, deadline)) {
            accepted = false;
            break;
        }
        const int now = recv(connection.get(), answer + got, static_cast<int>(sizeof answer) - got, 0);
        if (now <= 0) {
            accepted = false;
            break;
        }
        got += now;
    }
    u_long blocking = 0;
    if (!accepted || std::memcmp(answer, kYesAnswer, sizeof answer) != 0 ||
        ioctlsocket(connection.get(), FIONBIO, &blocking) != 0) {
        return OwnedSocket();
    }
    return connection;
}

}  // namespace

extern "C" std::intptr_t open_dev(void) {
    if (!Ask(kProbeRequest, SteadyClock::now() + kProbeLimit).valid()) {
        return kNone;
    }
    const HANDLE device = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return device != INVALID_HANDLE_VALUE ? reinterpret_cast<std::intptr_t>(device) : kNone;
}

extern "C" std::intptr_t open_file(const char* pipeName) {
    if (pipeName == nullptr) {
        return kNone;
    }
    const std::string name(pipeName);
    if (name.empty() || name.size() > kMaxRequestLine / 2 || name.find_first_of(" \n") != std::string::npos) {
        return kNone;
    }
    OwnedSocket connection = Ask(std::string(kPipeRequestPrefix) + name + "\n", SteadyClock::now() + kPipeLimit);
    if (!connection.valid()) {
        return kNone;
    }
    const HANDLE pipe = StartRelay(std::move(connection));
    return pipe != nullptr ? reinterpret_cast<std::intptr_t>(pipe) : kNone;
}
