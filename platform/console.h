#pragma once
// The terminal a command-line tool runs in: whether a standard stream is a
// terminal, so output and questions fit where they go. Ctrl-C is counted by
// StopRequests (stop_requests.h).

namespace tarnwick::os {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

}  // namespace tarnwick::os
