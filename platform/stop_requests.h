#pragma once
// Requests from outside to stop a long-running command: Ctrl-C, SIGTERM and
// SIGHUP here (Ctrl-C, Ctrl-Break and closing the console on Windows). They
// are counted instead of ending the process, and a command can wait for the
// next one with a bound, so that it sleeps between its own steps and still
// stops at once when asked.
//
// Two kinds are told apart. A user at the keyboard (Ctrl-C) may be warned
// before anything is stopped; a job runner or a closing terminal (SIGTERM,
// SIGHUP, a closing console) asks once and must be obeyed.

#include <chrono>
#include <optional>
#include <string_view>

namespace tarnwick::os {

enum class EndRequest {
    Terminate,  // SIGTERM
    HangUp,     // SIGHUP, or the console window closing
};

// How this system names the request, for the user: "SIGTERM", "SIGHUP".
std::string_view EndRequestName(EndRequest request);

// While one of these lives, stop requests only count; when it goes, the
// earlier handling comes back. Only one may live at a time.
class StopRequests {
public:
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    ~StopRequests();

    // Requests of either kind received since this object was made.
    int Count() const;
    // Ctrl-C presses (and Ctrl-Break on Windows) among them.
    int Interrupts() const;
    // The first request to end at once, if one came.
    std::optional<EndRequest> Ending() const;
    // Waits until more than `seen` requests have come or `timeout` has
    // passed, whichever is first, and gives Count().
    int WaitBeyond(int seen, std::chrono::milliseconds timeout);
};

// How a command that a stop request ended leaves the process. On POSIX,
// for 129, 130 and 143, the process dies by that same signal (SIGHUP,
// SIGINT, SIGTERM) with its default action, once what it printed is
// written out: a calling shell then sees why it ended and stops its own
// loop too, and still shows that status. Any other status, and every status
// on Windows, is given back to be returned from main.
int EndWithStatus(int status);

}  // namespace tarnwick::os
