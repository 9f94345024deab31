#pragma once
// The simulated device: listens on a Unix socket, answers presence probes,
// and takes image streams on its pipe, checking and storing what comes.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::sim {

struct ServeOptions {
    std::string socketPath;
    std::string storeDir;    // empty: payloads are hashed but not kept
    std::string reportPath;  // empty: no JSON report
    bool detached = false;
    std::uint64_t rate = 0;  // bytes per second; 0 is as fast as it comes
    std::optional<std::uint64_t> stallAfter;  // payload bytes, then stop reading
    std::optional<std::uint64_t> dropAfter;   // payload bytes, then close
};

// Runs until SIGINT or SIGTERM; SIGUSR1 attaches, SIGUSR2 detaches. Gives
// the process exit code.
int Serve(const ServeOptions& options);

}  // namespace tarnwick::sim
