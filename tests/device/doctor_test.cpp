// `tarnwick-cli doctor` end to end, with the device library missing, a
// double that lacks an entry, the stand-in against a simulator with and
// without its device, and the kinds of pipe a library may hand out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "support/json_value.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

struct DoctorCase {
    const char* name;
    const char* library;  // a double's name, "stand-in", or "none"
    bool simulator = false;
    bool attached = true;
    bool openPipe = false;
    int status = 0;
    const char* cause = "";     // in the library check's detail
    const char* pipeKind = "";  // the pipe check's kind
};

std::ostream& operator<<(std::ostream& out, const DoctorCase& c) { return out << c.name; }

class Doctor : public ::testing::TestWithParam<DoctorCase> {};

// The check of that name in the JSON report.
const JsonValue* CheckNamed(const JsonValue& report, const std::string& name) {
    for (const JsonValue& check : report["checks"].items()) {
        if (check["check"].AsString() == name) {
            return &check;
        }
    }
    return nullptr;
}

TEST_P(Doctor, NamesTheCauseAndExitsWithItsStatus) {
    const DoctorCase& c = GetParam();
    test::TempDir dir;
    std::vector<std::string> environment;
    std::string program = test::BinPath("tarnwick-cli");
    if (std::string(c.library) == "none") {
        // The program alone in a folder: no library beside it.
        program = dir.File("tarnwick-cli");
        std::filesystem::copy_file(test::BinPath("tarnwick-cli"), program);
    } else if (std::string(c.library) == "stand-in") {
        environment = test::LibraryBesideProgram(test::BinDir());
    } else {
        environment.push_back("LD_LIBRARY_PATH=" + test::DoubleDir(c.library));
    }
    std::optional<test::SimProcess> sim;
    if (c.simulator) {
        sim.emplace(test::SimOptions{.detached = !c.attached});
        ASSERT_TRUE(sim->ready()) << sim->Log();
        environment.push_back(sim->Environment());
    }
    environment.push_back("TARNWICK_DOUBLE_FILE=" + dir.File("device.bin"));
    std::vector<std::string> arguments = {"doctor", "--json"};
    if (c.openPipe) {
        arguments.push_back("--open-pipe");
    }

    const auto result = test::RunProgram(program, arguments, environment);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, c.status) << result->output;
    const std::optional<JsonValue> report = JsonValue::Parse(result->output);
    ASSERT_TRUE(report.has_value()) << result->output;
    const JsonValue* library = CheckNamed(*report, "device library");
    ASSERT_NE(library, nullptr);
    EXPECT_THAT((*library)["detail"].AsString(), ::testing::HasSubstr(c.cause));
    if (*c.pipeKind != '\0') {
        const JsonValue* pipe = CheckNamed(*report, "pipe");
        ASSERT_NE(pipe, nullptr) << result->output;
        EXPECT_EQ((*pipe)["kind"].AsString(), c.pipeKind);
    }
    // Nothing was written to the pipe it opened.
    struct stat written {};
    if (stat(dir.File("device.bin").c_str(), &written) == 0) {
        EXPECT_EQ(written.st_size, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, Doctor,
    ::testing::Values(DoctorCase{"NoLibrary", "none", false, true, false, 1, "is missing"},
                      DoctorCase{"NoOpenFile", "no_open_file", false, true, false, 1, "lacks open_file"},
                      DoctorCase{"NoDevice", "stand-in", true, false, true, 69, "it loads"},
                      DoctorCase{"Device", "stand-in", true, true, false, 0, "it loads"},
                      DoctorCase{"SocketPipe", "stand-in", true, true, true, 0, "it loads", "socket"},
                      DoctorCase{"Fifo", "nonblocking_pipe", false, true, true, 0, "it loads", "FIFO or pipe"},
                      DoctorCase{"PlainFile", "plain_file", false, true, true, 0, "it loads", "file"}),
    [](const ::testing::TestParamInfo<DoctorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
