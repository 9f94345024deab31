#pragma once
// One owner for each kind of Windows object the stand-in library holds, so
// that every path out of a call gives back what it opened.

#include <winsock2.h>
#include <windows.h>

#include <utility>

namespace tarnwick::sim::win32 {

class OwnedSocket {
public:
    explicit OwnedSocket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
    OwnedSocket(OwnedSocket&& other) noexcept : socket_(other.Release()) {}
    OwnedSocket& operator=(OwnedSocket&& other) noexcept {
        if (this != &other) {
            Reset();
            socket_ = other.Release();
        }
        return *this;
    }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;
    ~OwnedSocket() { Reset(); }

    SOCKET get() const { return socket_; }
    bool valid() const { return socket_ != INVALID_SOCKET; }
    SOCKET Release() { return std::exchange(socket_, INVALID_SOCKET); }
    void Reset() {
        if (valid()) {
            closesocket(std::exchange(socket_, INVALID_SOCKET));
        }
    }

private:
    SOCKET socket_;
};

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.Release();
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Reset() {
        if (valid()) {
            CloseHandle(std::exchange(handle_, nullptr));
        }
    }

private:
    HANDLE handle_;
};

}  // namespace tarnwick::sim::win32
