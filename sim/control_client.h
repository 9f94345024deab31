#pragma once
// Talks to a running simulator: attach, detach, status.

#include <optional>
#include <string>

namespace tarnwick::sim {

// Sends one request line and gives the answer line (without its end of
// line), or nullopt when no simulator answered within `timeoutMs`.
std::optional<std::string> AskSimulator(const std::string& socketPath, const std::string& request,
                                        int timeoutMs);

}  // namespace tarnwick::sim
