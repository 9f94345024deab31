#include "cli/progress_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick::cli {
namespace {

using ::testing::HasSubstr;

TEST(ProgressLineTest, SizesSwitchUnitsAtTheirBoundaries) {
    EXPECT_EQ(FormatBytes(0), "0 B");
    EXPECT_EQ(FormatBytes(1023), "1023 B");
    EXPECT_EQ(FormatBytes(1024), "1.0 KiB");
    EXPECT_EQ(FormatBytes(64ull << 20), "64.0 MiB");
    EXPECT_EQ(FormatBytes(3ull << 29), "1.50 GiB");
    EXPECT_EQ(FormatDuration(Seconds(0.5)), "0.500 s");
    EXPECT_EQ(FormatDuration(Seconds(12.34)), "12.3 s");
    EXPECT_EQ(FormatDuration(Seconds(125)), "2 min 05 s");
}

TEST(ProgressLineTest, ShowsShareSpeedAndTimeLeft) {
    const std::string line = ProgressLine(32ull << 20, 64ull << 20, Seconds(2));
    EXPECT_THAT(line, HasSubstr(" 50%"));
    EXPECT_THAT(line, HasSubstr("32.0 MiB of 64.0 MiB"));
    EXPECT_THAT(line, HasSubstr("16.0 MiB/s"));
    EXPECT_THAT(line, HasSubstr("2.000 s left"));
    // Nothing to measure a speed by yet: no division by zero, no made-up figure.
    EXPECT_THAT(ProgressLine(0, 4096, Seconds(0)), HasSubstr("-- /s  -- left"));
    EXPECT_THAT(ProgressLine(199, 199, Seconds(1)), HasSubstr("100%"));
}

TEST(ProgressLineTest, PlainOutputPrintsAFewLinesNotOnePerPiece) {
    PlainProgress plain;
    std::vector<std::string> lines;
    const std::uint64_t payload = 64ull << 20;
    for (std::uint64_t sent = 2048; sent <= payload; sent += 2048) {
        if (auto line = plain.Next(sent, payload, Seconds(1))) {
            lines.push_back(*line);
        }
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], HasSubstr("25%"));
    EXPECT_THAT(lines[1], HasSubstr("50%"));
    EXPECT_THAT(lines[2], HasSubstr("75%"));
}

TEST(ProgressLineTest, EndLineNeverCallsAFailedTransferComplete) {
    const std::string sha(64, 'a');
    TransferOutcome complete{TransferResult::Complete, TransferFailure::None, 5000, 5000, true};
    TransferOutcome stalled{TransferResult::Failed, TransferFailure::Stalled, 2048, 5000, true};
    TransferOutcome stopped{TransferResult::Stopped, TransferFailure::None, 4096, 5000, true};

    const std::string good = SummaryLine(complete, Seconds(1), sha, "Ctrl-C");
    EXPECT_EQ(good.rfind("complete", 0), 0u);
    EXPECT_THAT(good, HasSubstr("sent 5000 of 5000 payload bytes"));
    EXPECT_THAT(good, HasSubstr(sha));

    for (const auto& outcome : {stalled, stopped}) {
        const std::string line = SummaryLine(outcome, Seconds(61), sha, "Ctrl-C");
        EXPECT_NE(line.rfind("complete", 0), 0u);
        EXPECT_THAT(line, HasSubstr("of 5000 payload bytes"));
        EXPECT_THAT(line, HasSubstr(sha));
    }
    EXPECT_THAT(SummaryLine(stalled, Seconds(61), sha, "Ctrl-C"), HasSubstr("FAILED: the device took nothing for 60 s"));
    EXPECT_THAT(SummaryLine(stopped, Seconds(1), sha, "SIGTERM"), HasSubstr("STOPPED by SIGTERM"));
}

}  // namespace
}  // namespace tarnwick::cli
