#include "platform/console.h"

#include <unistd.h>

namespace tarnwick::os {
namespace {

int DescriptorOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STDIN_FILENO;
        case StandardStream::Output:
            return STDOUT_FILENO;
        case StandardStream::Error:
            break;
    }
    return STDERR_FILENO;
}

}  // namespace

bool IsTerminal(StandardStream stream) { return isatty(DescriptorOf(stream)) == 1; }

// A POSIX terminal takes the bytes as they are, and the locale says how it
// shows them.
void UseUtf8Output() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace tarnwick::os
