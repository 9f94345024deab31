#pragma once
// One transfer sent by the window inside the benchmark's own process, with
// the file chooser answered by the benchmark: what both window benchmarks
// (against the simulator on Linux, against a plain file under Wine) time.

#include <optional>
#include <string>

#include "tests/gui/window_fixture.h"

namespace tarnwick::bench {

struct WindowRun {
    // From the click of button 1000 until the end has been shown.
    double seconds = 0;
    // From the transfer's start (the click handled: the image loaded and
    // checked) until its end has been shown.
    double transferSeconds = 0;
    // The bar's paint passes.
    unsigned repaints = 0;
};

// Waits for the window to see a device, then sends `image`; nullopt (with
// the reason on stderr) when no transfer ran to its end.
std::optional<WindowRun> SendFromWindow(gui_test::WindowFixture& fixture, const std::string& image);

}  // namespace tarnwick::bench
