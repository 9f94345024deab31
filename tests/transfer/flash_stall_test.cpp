// A device that stops taking bytes: the transfer must end as failed once it
// has taken nothing for 60 s, not hang and not claim success. This runs in
// real time, so it takes a minute.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "tests/transfer/flash_e2e_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

TEST(FlashStall, StalledDeviceEndsAsFailedWithinTheBound) {
    test::SimProcess sim({.stallAfter = 300'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const auto file = testing::PatternImage(4u << 20);
    testing::WriteFile(dir.File("stall.rad"), file);

    const auto start = std::chrono::steady_clock::now();
    const auto result = testing::RunFlash(dir.File("stall.rad"), {sim.Environment()}, 120s);
    const auto took = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(result.has_value()) << "tarnwick-cli hung on a stalled device";
    EXPECT_EQ(result->exitCode, cli::kExitTransferFailed) << result->output;
    EXPECT_THAT(result->output, HasSubstr("FAILED: the device took nothing for 60 s"));
    EXPECT_GE(took, 60s);
    EXPECT_LT(took, 70s);
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    EXPECT_EQ(transfer->outcome, "stalled");
}

// A device that fails every write (a full one): the header packet is
// retried for its full 3002 attempts and the payload never follows.
TEST(FlashStall, DeviceFailingEveryWriteFailsAfterTheHeaderRetries) {
    test::TempDir dir;
    testing::WriteFile(dir.File("dead.rad"), testing::PatternImage(5000));
    const auto result = testing::RunFlash(dir.File("dead.rad"),
                                          {"LD_LIBRARY_PATH=" + test::DoubleDir("dev_full")}, 60s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, cli::kExitTransferFailed) << result->output;
    EXPECT_THAT(result->output, HasSubstr("FAILED: the device did not take the header packet: sent 0 of 5000"));
}

}  // namespace
}  // namespace tarnwick
