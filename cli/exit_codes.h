#pragma once
// Exit codes of tarnwick-cli, after the sysexits convention, shared by every
// subcommand so that scripts can tell the cases apart.

#include "image/refusal.h"

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

// The exit code of a command that refused a file or the device.
int ExitCodeFor(Refusal refusal);

}  // namespace tarnwick::cli
