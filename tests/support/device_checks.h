#pragma once
// Image files on disk and what the simulated device stored of them,
// compared byte for byte: shared by every test that sends an image through
// a real tarnwick-cli to the real simulator.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "cli/exit_codes.h"
#include "support/sha256.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace tarnwick::testing {

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The device got file bytes 0..19 as the header packet and stored exactly
// bytes 1024..end as the payload.
inline void ExpectDeviceGotFile(const test::SimTransfer& transfer, const std::vector<std::uint8_t>& file) {
    EXPECT_EQ(transfer.outcome, "complete");
    EXPECT_EQ(transfer.headerBytes, 20u);
    EXPECT_EQ(transfer.headerHex, Sha256::HexOf(std::span<const std::uint8_t>(file).first(20)));
    EXPECT_EQ(transfer.payloadBytes, file.size() - 1024);
    const std::vector<std::uint8_t> stored = ReadFile(transfer.storedPath);
    EXPECT_EQ(stored.size(), file.size() - 1024);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + 1024, file.end()))
        << "stored payload differs from file bytes 1024..end";
}

// A device that dropped the connection after `dropAfter` payload bytes: the
// CLI said the device went away and never that the image was sent.
inline void ExpectFlashEndedAtDrop(const std::optional<test::ProgramResult>& result, const test::SimProcess& sim,
                                   std::uint64_t dropAfter) {
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, cli::kExitTransferFailed) << result->output;
    // A connection that is gone cannot come back: no retries.
    EXPECT_THAT(result->output, ::testing::HasSubstr("FAILED: the device went away"));
    EXPECT_THAT(result->output, ::testing::Not(::testing::HasSubstr("complete:")));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    EXPECT_EQ(transfer->outcome, "dropped");
    EXPECT_EQ(transfer->payloadBytes, dropAfter);
}

// The simulator serves one pipe at a time: waits until `count` transfers
// have ended and the pipe is free for the next.
inline bool WaitUntilIdle(const test::SimProcess& sim, unsigned count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto status = sim.Status();
        if (status && status->finished >= count && !status->transferRunning) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

}  // namespace tarnwick::testing
