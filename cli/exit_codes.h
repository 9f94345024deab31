#pragma once
// Exit codes of tarnwick-cli, after the sysexits convention, shared by every
// subcommand so that scripts can tell the cases apart.

#include <optional>

#include "image/refusal.h"
#include "platform/stop_requests.h"

namespace tarnwick::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDeclined = 1;      // the user said no: nothing was sent
inline constexpr int kExitUsage = 64;        // bad command line
inline constexpr int kExitNotAnImage = 65;   // too short, no signature, UART, too large
inline constexpr int kExitCannotRead = 66;   // cannot be opened or read
inline constexpr int kExitNoDevice = 69;     // no device, or the library is unusable
inline constexpr int kExitTransferFailed = 74;
// Stopped part-way, by a signal: 128 + its number, as a shell reports it.
inline constexpr int kExitHungUp = 129;      // SIGHUP, or the console closing
inline constexpr int kExitInterrupted = 130; // Ctrl-C
inline constexpr int kExitTerminated = 143;  // SIGTERM
// doctor: a check failed outright (the device library, a pipe that would
// not open).
inline constexpr int kExitCheckFailed = 1;

// The exit code of a command that refused a file or the device.
int ExitCodeFor(Refusal refusal);
// The exit code of a run that a stop request ended: the request to end
// (SIGTERM, SIGHUP) when there was one, else Ctrl-C.
int ExitCodeForStop(std::optional<os::EndRequest> ending);

}  // namespace tarnwick::cli
