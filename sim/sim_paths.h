#pragma once
// Where the simulator listens and the stand-in library calls: a Unix socket
// in a folder that only the user can enter, so that nobody else can plant a
// socket there or listen in.

#include <string>

namespace tarnwick::sim {

inline constexpr const char* kSocketVariable = "VANTREL_SIM_SOCKET";
inline constexpr const char* kSocketFileName = "vantrel-sim.sock";

// $VANTREL_SIM_SOCKET; else $XDG_RUNTIME_DIR/vantrel-sim.sock; else
// /tmp/vantrel-sim-<uid>/vantrel-sim.sock.
std::string DefaultSocketPath();

// The folder part of a socket path ("." for a bare name).
std::string FolderOf(const std::string& socketPath);

// Empty when the folder holding `socketPath` is a real folder (not a link)
// owned by this user with no access for group or others; otherwise why not.
std::string CheckPrivateFolder(const std::string& socketPath);

// Makes the folder for `socketPath` with mode 0700 when it does not exist
// yet (the parent must exist). Then checks it as CheckPrivateFolder does.
std::string PreparePrivateFolder(const std::string& socketPath);

}  // namespace tarnwick::sim
