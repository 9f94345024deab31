#include "platform/stop_requests.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tarnwick::os {
namespace {

// The handler may touch only lock-free atomics and write().
std::atomic<int> requests{0};
static_assert(std::atomic<int>::is_always_lock_free);
int wakeRead = -1;
int wakeWrite = -1;

struct sigaction previousInterrupt {};
struct sigaction previousTerminate {};

extern "C" void CountRequest(int) {
    const int savedErrno = errno;
    requests.fetch_add(1, std::memory_order_relaxed);
    const char byte = 1;
    // A full pipe already wakes the waiter; losing this byte is harmless.
    [[maybe_unused]] const ssize_t ignored = write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

}  // namespace

StopRequests::StopRequests() {
    requests.store(0);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = CountRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInterrupt);
    sigaction(SIGTERM, &action, &previousTerminate);
}

StopRequests::~StopRequests() {
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    close(wakeRead);
    close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

int StopRequests::Count() const { return requests.load(std::memory_order_relaxed); }

int StopRequests::WaitBeyond(int seen, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Count() <= seen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd wait{wakeRead, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) > 0) {
            char drained[64];
            while (read(wakeRead, drained, sizeof drained) > 0) {
            }
        }
    }
    return Count();
}

}  // namespace tarnwick::os
