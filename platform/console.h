#pragma once
// The terminal a command-line tool runs in: whether a standard stream is a
// terminal, so output and questions fit where they go. Ctrl-C is counted by
// StopRequests (stop_requests.h).

namespace tarnwick::os {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// The texts and the progress line are UTF-8: a console that shows another
// code page is switched to UTF-8 for this program's output, and given its
// own code page back at every end of the program (a normal exit, an error,
// Ctrl-C, the console closing). A console in UTF-8 already, and terminals
// elsewhere, are left alone.
void UseUtf8Output();

}  // namespace tarnwick::os
