#include "platform/stop_requests.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <unistd.h>

namespace tarnwick::os {
namespace {

// The handler may touch only lock-free atomics and write().
std::atomic<int> interrupts{0};
std::atomic<int> endings{0};
// 0 until the first SIGTERM or SIGHUP, then that signal's number.
std::atomic<int> firstEnding{0};
static_assert(std::atomic<int>::is_always_lock_free);
int wakeRead = -1;
int wakeWrite = -1;

constexpr int kCountedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kCountedSignals)] {};

extern "C" void CountRequest(int signal) {
    const int savedErrno = errno;
    if (signal == SIGINT) {
        interrupts.fetch_add(1, std::memory_order_relaxed);
    } else {
        int none = 0;
        firstEnding.compare_exchange_strong(none, signal, std::memory_order_relaxed);
        endings.fetch_add(1, std::memory_order_relaxed);
    }
    const char byte = 1;
    // A full pipe already wakes the waiter; losing this byte is harmless.
    [[maybe_unused]] const ssize_t ignored = write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

}  // namespace

std::string_view EndRequestName(EndRequest request) {
    return request == EndRequest::Terminate ? "SIGTERM" : "SIGHUP";
}

StopRequests::StopRequests() {
    interrupts.store(0);
    endings.store(0);
    firstEnding.store(0);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = CountRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kCountedSignals); ++i) {
        sigaction(kCountedSignals[i], &action, &previous[i]);
    }
}

StopRequests::~StopRequests() {
    for (std::size_t i = 0; i < std::size(kCountedSignals); ++i) {
        sigaction(kCountedSignals[i], &previous[i], nullptr);
    }
    close(wakeRead);
    close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

int StopRequests::Count() const {
    return interrupts.load(std::memory_order_relaxed) + endings.load(std::memory_order_relaxed);
}

int StopRequests::Interrupts() const { return interrupts.load(std::memory_order_relaxed); }

std::optional<EndRequest> StopRequests::Ending() const {
    switch (firstEnding.load(std::memory_order_relaxed)) {
        case SIGTERM:
            return EndRequest::Terminate;
        case SIGHUP:
            return EndRequest::HangUp;
        default:
            return std::nullopt;
    }
}

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

int EndWithStatus(int status) {
    constexpr int kSignalled = 128;
    const int signal = status - kSignalled;
    if (signal != SIGHUP && signal != SIGINT && signal != SIGTERM) {
        return status;
    }
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    return status;
}

}  // namespace tarnwick::os
