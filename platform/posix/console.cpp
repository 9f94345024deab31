#include "platform/console.h"

#include <csignal>
#include <unistd.h>

namespace tarnwick::os {
namespace {

// Lock-free, so the handler may touch it.
std::atomic<int> presses{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previousAction {};

extern "C" void CountPress(int) { presses.fetch_add(1, std::memory_order_relaxed); }

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

InterruptCounter::InterruptCounter() {
    presses.store(0);
    struct sigaction action {};
    action.sa_handler = CountPress;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and waits carry on by themselves.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousAction);
}

InterruptCounter::~InterruptCounter() { sigaction(SIGINT, &previousAction, nullptr); }

int InterruptCounter::Presses() const { return presses.load(std::memory_order_relaxed); }

}  // namespace tarnwick::os
