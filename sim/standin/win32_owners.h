#pragma once
// One owner for each kind of Windows object the stand-in library holds, so
// that every path out of a call gives back what it opened.

#include <winsock2.h>

#include "platform/win32/owned_handle.h"

namespace tarnwick::sim::win32 {

struct SocketTraits {
    using Value = SOCKET;
    static constexpr SOCKET kNone = INVALID_SOCKET;
    static bool IsOpen(SOCKET socket) { return socket != INVALID_SOCKET; }
    static void Close(SOCKET socket) { closesocket(socket); }
};

using OwnedSocket = os::UniqueResource<SocketTraits>;
using os::win32::OwnedHandle;

}  // namespace tarnwick::sim::win32
