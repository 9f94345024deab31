#pragma once
// The terminal a command-line tool runs in: whether a standard stream is a
// terminal, so output and questions fit where they go. Ctrl-C is counted by
// StopRequests (stop_requests.h).

namespace tarnwick::os {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// The texts and the progress line are UTF-8: a console that shows another
// code page is switched to UTF-8 for this program's output. Terminals that
// take UTF-8 already are left alone.
void UseUtf8Output();

}  // namespace tarnwick::os
