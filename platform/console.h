#pragma once
// The terminal a command-line tool runs in: whether a standard stream is a
// terminal, so output and questions fit where they go. Ctrl-C is counted by
// StopRequests (stop_requests.h).

#include <string>
#include <vector>

namespace tarnwick::os {

// The program's arguments in UTF-8, the program's name first. Windows
// hands `argv` over in the ANSI code page, which cannot spell every name;
// there they are taken from the wide command line instead.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// The texts and the progress line are UTF-8: a console that shows another
// code page is switched to UTF-8 for this program's output, and given its
// own code page back at every end of the program (a normal exit, an error,
// Ctrl-C, the console closing). A console in UTF-8 already, and terminals
// elsewhere, are left alone.
void UseUtf8Output();

}  // namespace tarnwick::os
