// The real tarnwick program, started as a person would start it: its window
// appears with the caption from the lang.ini beside it, and Escape ends the
// process with status 0. Without a display it says so and exits 1.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "tests/support/desktop_suppressions.h"
#include "tests/gui/window_fixture.h"
#include "tests/gui/x11_windows.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::gui_test {
namespace {

constexpr const char* kTitle = "Tarnwick Process Under Test";

TEST(TarnwickProgram, EscapeEndsTheProcessWithStatusZero) {
    // A copy of the program in a folder of its own, with its own lang.ini
    // (it reads the one beside itself, never the current folder's).
    test::TempDir folder;
    const std::string program = folder.File("tarnwick");
    std::filesystem::copy_file(test::BinPath("tarnwick"), program);
    std::ofstream(folder.File("lang.ini")) << "[title]\n100=" << kTitle << "\n";
    // When the program is built with the address sanitizer, what the desktop
    // libraries keep until exit is not its leak.
    std::ofstream(folder.File("leaks.supp")) << kDesktopLibraryLeaks;

    // The virtual display now and then refuses a new client while others
    // poll it; the program then exits 1 at once, and is started again.
    std::optional<test::ChildProcess> child;
    std::optional<ScreenRect> rect;
    for (int attempt = 0; attempt < 3 && !rect; ++attempt) {
        child.emplace(program, std::vector<std::string>{},
                      std::vector<std::string>{"LSAN_OPTIONS=suppressions=" + folder.File("leaks.supp")},
                      folder.File("output.log"));
        ASSERT_TRUE(child->started());
        rect = WaitForWindowTitled(kTitle, std::chrono::seconds(10));
    }
    ASSERT_TRUE(rect.has_value());
    ASSERT_TRUE(FocusWindowTitled(kTitle));

    wxUIActionSimulator input;
    input.MouseMove(rect->x + rect->width / 2, rect->y + 5);
    WindowFixture::PumpFor(std::chrono::milliseconds(100));
    input.Char(WXK_ESCAPE);

    const std::optional<int> status = child->Wait(std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << "the window did not close";
    std::ifstream log(folder.File("output.log"));
    EXPECT_EQ(*status, 0) << log.rdbuf();
}

TEST(TarnwickProgram, WithoutADisplayItSaysSoOnOneLineAndExitsOne) {
    const auto result = test::RunProgram(test::BinPath("tarnwick"), {}, {"DISPLAY=", "WAYLAND_DISPLAY="},
                                         std::chrono::seconds(30));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 1) << result->output;
    EXPECT_EQ(result->output, "tarnwick: cannot open the window: no display could be opened (is DISPLAY set?)\n");
}

}  // namespace
}  // namespace tarnwick::gui_test
