#pragma once
// The terminal a command-line tool runs in: whether a standard stream is a
// terminal, and Ctrl-C counted instead of ending the process, so a tool can
// decide what a press means at the moment it comes (a transfer must not be
// cut off by the first press).

#include <atomic>

namespace tarnwick::os {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// While one of these lives, Ctrl-C (and on Windows Ctrl-Break) only adds one
// to Presses(); when it goes, the earlier handling comes back. Only one may
// live at a time.
class InterruptCounter {
public:
    InterruptCounter();
    InterruptCounter(const InterruptCounter&) = delete;
    InterruptCounter& operator=(const InterruptCounter&) = delete;
    ~InterruptCounter();

    int Presses() const;
};

}  // namespace tarnwick::os
