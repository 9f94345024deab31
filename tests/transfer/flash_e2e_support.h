#pragma once
// Images on disk and the real tarnwick-cli run against the real simulator,
// with the bytes the device stored compared to the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/sha256.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/terminal_program.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick::testing {

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

inline std::string PayloadSha(const std::vector<std::uint8_t>& file) {
    Sha256 hash;
    hash.Update(std::span<const std::uint8_t>(file).subspan(1024));
    return hash.FinishHex();
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

inline std::vector<std::string> FlashArguments(const std::string& image) { return {"flash", image, "--yes"}; }

// The programs find the device library beside themselves through their
// RUNPATH, but a sanitizer runtime that intercepts dlopen hides that, so the
// folder is named outright unless the test picks a double of its own.
inline std::vector<std::string> ToolEnvironment(std::vector<std::string> environment) {
    const bool picksLibrary = std::any_of(environment.begin(), environment.end(), [](const std::string& entry) {
        return entry.rfind("LD_LIBRARY_PATH=", 0) == 0;
    });
    if (!picksLibrary) {
        environment.push_back("LD_LIBRARY_PATH=" + test::BinDir());
    }
    return environment;
}

inline std::optional<test::ProgramResult> RunFlash(const std::string& image, const std::vector<std::string>& environment,
                                                   std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return test::RunProgram(test::BinPath("tarnwick-cli"), FlashArguments(image), ToolEnvironment(environment),
                            timeout);
}

// tarnwick-cli flash as a child the test can signal while it runs.
inline std::unique_ptr<test::ChildProcess> StartFlash(const std::string& image, const test::SimProcess& sim) {
    return std::make_unique<test::ChildProcess>(test::BinPath("tarnwick-cli"), FlashArguments(image),
                                                ToolEnvironment({sim.Environment()}));
}

// Loads the device library from the test programs' own folder, for the same
// reason as ToolEnvironment.
class BesideTestsLoader final : public os::LibraryLoader {
public:
    explicit BesideTestsLoader(os::LibraryLoader& loader) : loader_(loader) {}
    std::unique_ptr<os::LoadedLibrary> Load(const std::string& name) override {
        return loader_.Load(test::BinDir() + "/" + name);
    }

private:
    os::LibraryLoader& loader_;
};

}  // namespace tarnwick::testing
