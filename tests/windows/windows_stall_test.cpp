// A device that stops taking bytes, seen by the Windows tarnwick-cli under
// Wine: the transfer must end as failed once nothing was taken for 60 s,
// through the same cancelled WriteFile a real device handle would need.
// This runs in real time, so it takes over a minute.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/wine_programs.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

TEST(WindowsFlashStall, StalledDeviceEndsAsFailedWithinTheBound) {
    test::SimProcess sim({.stallAfter = 300'000, .tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("stall.rad");
    // Far more than the loopback connection's buffers take in before the
    // writer has to wait (a few MB).
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(16u << 20)}));

    const auto start = std::chrono::steady_clock::now();
    const auto result = test::RunUnderWine(test::WindowsCli(), {"flash", test::WindowsPath(image), "--yes"},
                                           {sim.TcpEnvironment()}, 150s);
    const auto took = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(result.has_value()) << "tarnwick-cli.exe hung on a stalled device";
    EXPECT_EQ(result->exitCode, cli::kExitTransferFailed) << result->output;
    EXPECT_THAT(result->output, HasSubstr("FAILED: the device took nothing for 60 s"));
    // Starting under Wine and filling the connection's buffers come on top.
    EXPECT_GE(took, 60s);
    EXPECT_LT(took, 100s);
    // The stand-in resets the connection once the tool lets go of the pipe.
    const auto transfer = sim.WaitForTransfer(1, 10s);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    EXPECT_EQ(transfer->outcome, "stalled");
    EXPECT_EQ(transfer->payloadBytes, 300'000u);
}

}  // namespace
}  // namespace tarnwick
