#pragma once
// The simulated device: listens on a Unix socket (and, when asked, on
// loopback TCP too), answers presence probes, and takes image streams on its
// pipe, checking and storing what comes.

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
    std::optional<std::uint16_t> tcpPort;     // also on 127.0.0.1 at this port; 0 picks a free one
    std::string tcpPortFile;                  // empty: the port bound is not written down
};

// Runs until SIGINT or SIGTERM; SIGUSR1 attaches, SIGUSR2 detaches. Gives
// the process exit code.
int Serve(const ServeOptions& options);

}  // namespace tarnwick::sim
