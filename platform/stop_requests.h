#pragma once
// Requests from outside to stop a long-running command: Ctrl-C and SIGTERM
// here (Ctrl-C, Ctrl-Break and closing the console on Windows). They are
// counted instead of ending the process, and a command can wait for the
// next one with a bound, so that it sleeps between its own steps and still
// stops at once when asked.

#include <chrono>

namespace tarnwick::os {

// While one of these lives, stop requests only count; when it goes, the
// earlier handling comes back. Only one may live at a time.
class StopRequests {
public:
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    ~StopRequests();

    // Requests received since this object was made.
    int Count() const;
    // Waits until more than `seen` requests have come or `timeout` has
    // passed, whichever is first, and gives Count().
    int WaitBeyond(int seen, std::chrono::milliseconds timeout);
};

}  // namespace tarnwick::os
