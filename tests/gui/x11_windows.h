#pragma once
// Finds another process's top-level window on the X display by its title,
// so tests and benchmarks can wait for the real tarnwick program's window
// and send it keys.

#include <chrono>
#include <optional>
#include <string>

namespace tarnwick::gui_test {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The screen rectangle of a viewable window titled `title`, once one exists;
// nullopt when none appears within `timeout`.
std::optional<ScreenRect> WaitForWindowTitled(const std::string& title,
                                              std::chrono::milliseconds timeout);

// Gives the keyboard focus to the window titled `title`; false if none.
bool FocusWindowTitled(const std::string& title);

}  // namespace tarnwick::gui_test
