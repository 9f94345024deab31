// The real tarnwick.exe under Wine on a virtual display, through the
// stand-in VantrelUSB.dll to the Linux simulator over loopback TCP. The
// Windows build's window_process_test.exe drives the window as a person
// would (button, file dialog, the end shown, Escape); this side makes the
// image and checks what the simulator stored.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/device_checks.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/wine_programs.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Runs the driver's test `name` against `sim`, with `image` as the file
// the window is given.
void DriveWindow(const std::string& name, const test::SimProcess& sim, const std::string& image) {
    const std::string driver = test::WindowsBinDir() + "/window_process_test.exe";
    if (!std::filesystem::exists(driver)) {
        GTEST_SKIP() << "the Windows build has no window (" << driver << ")";
    }
    const auto result = test::RunProgram(
        "/usr/bin/xvfb-run", {"-a", "-s", "-screen 0 1024x768x24", test::WineRun(), driver, "--gtest_filter=TarnwickProgram." + name},
        {sim.TcpEnvironment(), "TARNWICK_TEST_IMAGE=" + test::WindowsPath(image)}, 3min);
    ASSERT_TRUE(result.has_value()) << "the window's driver did not end";
    EXPECT_EQ(result->exitCode, 0) << result->output;
    // A name that matches no test would pass without running anything.
    EXPECT_NE(result->output.find("[  PASSED  ] 1 test."), std::string::npos) << result->output;
}

TEST(WindowUnderWine, SendsAnImageToTheSimulatorByteForByte) {
    // Slow enough for the bar to be seen filling.
    test::SimProcess sim({.rate = 4'000'000, .tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("window.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(8u << 20), "--seed", "12"}));

    DriveWindow("OpensShowsItsAboutBoxSendsAnImageAndEndsOnEscape", sim, image);
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    testing::ExpectDeviceGotFile(*transfer, testing::ReadFile(image));
}

TEST(WindowUnderWine, ADroppedDeviceEndsIn1032AndAMessageBox) {
    test::SimProcess sim({.dropAfter = 100'000, .tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("drop.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(1u << 20)}));

    DriveWindow("ADroppedDeviceEndsIn1032AndAMessageBox", sim, image);
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    EXPECT_EQ(transfer->outcome, "dropped");
}

}  // namespace
}  // namespace tarnwick
