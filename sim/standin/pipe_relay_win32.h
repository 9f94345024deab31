#pragma once
// The device pipe as the Windows stand-in hands it out: the write end of a
// pipe, whose bytes a thread of the library passes on to the simulator's
// connection.
//
// Why not the socket itself: under Wine, CancelSynchronousIo does not reach
// a WriteFile blocked on a socket (it answers ERROR_NOT_FOUND and the write
// stays blocked), so a tool could not end a write to a stalled device. On a
// pipe it ends it with ERROR_OPERATION_ABORTED, as on a real device handle.
//
// The pipe holds no bytes of its own (both quotas are 0): a WriteFile on it
// finishes only once the relay has taken its bytes, which it does only when
// the socket has room for them, and then puts them on the socket at once.
// So what the writer counts is what the simulator gets, a tool that exits
// right after its last write and CloseHandle loses nothing, and a device
// that stops reading stops the writer as a full USB pipe would.

#include "sim/standin/win32_owners.h"

namespace tarnwick::sim::win32 {

// Starts the relay for `connection` (a connected, blocking socket) and gives
// the synchronous write end of its pipe, or null when no pipe or thread could
// be had (the connection is then closed). The relay keeps this library loaded
// until it ends, so the caller may unload it at once.
HANDLE StartRelay(OwnedSocket connection);

}  // namespace tarnwick::sim::win32
