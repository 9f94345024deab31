#pragma once
// The real tarnwick-cli run against the real simulator; device_checks.h
// compares what the device stored with the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/sha256.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/device_checks.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/terminal_program.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick::testing {

inline std::string PayloadSha(const std::vector<std::uint8_t>& file) {
    return Sha256::HexDigestOf(std::span<const std::uint8_t>(file).subspan(1024));
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
