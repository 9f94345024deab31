// `tarnwick-cli watch` end to end: the real program, the real stand-in
// library (or a double) and the real simulator.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// A change must show at the next probe: at most a period of 1 s after the
// change, plus the time to start and to answer. Generous for slow builds.
constexpr auto kNextProbe = 5s;

const std::regex kTimestamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)$)");

std::string Cli() { return test::BinPath("tarnwick-cli"); }

// What a watch line says, without its time stamp; empty when the line is
// not a time-stamped line at all.
std::string Said(const std::optional<std::string>& line) {
    std::smatch match;
    if (!line || !std::regex_match(*line, match, kTimestamped)) {
        return {};
    }
    return match[1];
}

// The environment for the program in the build folder, finding the stand-in
// library beside itself, plus `extra`.
std::vector<std::string> Beside(std::vector<std::string> extra, const std::string& folder = test::BinDir()) {
    for (const std::string& entry : test::LibraryBesideProgram(folder)) {
        extra.push_back(entry);
    }
    return extra;
}

std::optional<test::ProgramResult> WatchOnce(const std::vector<std::string>& environment) {
    return test::RunProgram(Cli(), {"watch", "--once"}, environment, 20s);
}

TEST(WatchOnce, ExitsZeroWithADeviceAndSixtyNineWithout) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();

    const auto attached = WatchOnce(Beside({sim.Environment()}));
    ASSERT_TRUE(attached);
    EXPECT_EQ(attached->exitCode, 0) << attached->output;
    EXPECT_NE(attached->output.find("device attached"), std::string::npos) << attached->output;

    ASSERT_TRUE(sim.Detach());
    const auto detached = WatchOnce(Beside({sim.Environment()}));
    ASSERT_TRUE(detached);
    EXPECT_EQ(detached->exitCode, 69);
    EXPECT_NE(detached->output.find("no device attached"), std::string::npos) << detached->output;
}

TEST(WatchOnce, NoSimulatorIsNoDevice) {
    test::TempDir folder;
    const auto result = WatchOnce(Beside({"VANTREL_SIM_SOCKET=" + folder.File("absent.sock")}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 69);
    EXPECT_NE(result->output.find("no device attached"), std::string::npos) << result->output;
}

TEST(WatchOnce, AMissingLibraryIsSaidToBeMissing) {
    // A copy of the program in a folder without the library beside it.
    test::TempDir folder;
    const std::string lonely = folder.File("tarnwick-cli");
    std::filesystem::copy_file(Cli(), lonely);

    const auto result = test::RunProgram(lonely, {"watch", "--once"}, {}, 20s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 69);
    EXPECT_NE(result->output.find("is missing"), std::string::npos) << result->output;
}

struct DoubleCase {
    const char* name;
    int exitCode;
    const char* says;
};

TEST(WatchOnce, EveryDoubleIsJudgedByItsOpenDev) {
    const DoubleCase cases[] = {
        {"no_open_dev", 69, "lacks open_dev"},
        {"no_open_file", 0, "device attached"},
        {"open_dev_zero", 0, "device attached"},
        {"open_file_invalid", 0, "device attached"},
        {"failing_pipe", 0, "device attached"},
    };
    for (const DoubleCase& c : cases) {
        SCOPED_TRACE(c.name);
        // LD_LIBRARY_PATH is searched before the program's own folder.
        const auto result = WatchOnce({"LD_LIBRARY_PATH=" + test::DoubleDir(c.name)});
        ASSERT_TRUE(result);
        EXPECT_EQ(result->exitCode, c.exitCode) << result->output;
        EXPECT_NE(result->output.find(c.says), std::string::npos) << result->output;
    }
}

TEST(Watch, ReportsEachAttachAndDetachAtTheNextProbeAndStopsOnInterrupt) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::ChildProcess watch(Cli(), {"watch"}, Beside({sim.Environment()}));
    ASSERT_TRUE(watch.started());

    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "device attached");
    ASSERT_TRUE(sim.Detach());
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "no device attached");
    ASSERT_TRUE(sim.Attach());
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "device attached");
    // Nothing changed, so nothing more is said.
    EXPECT_FALSE(watch.ReadLine(1500ms));

    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Wait(kNextProbe), 0);
}

TEST(Watch, StopsCleanlyOnTerminate) {
    test::TempDir folder;
    test::ChildProcess watch(Cli(), {"watch"}, Beside({"VANTREL_SIM_SOCKET=" + folder.File("absent.sock")}));
    ASSERT_TRUE(watch.started());
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "no device attached");

    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Wait(kNextProbe), 0);
}

TEST(Watch, ALibraryThatAppearsLaterIsPickedUp) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir folder;
    const std::string lonely = folder.File("tarnwick-cli");
    std::filesystem::copy_file(Cli(), lonely);
    test::ChildProcess watch(lonely, {"watch"}, Beside({sim.Environment()}, folder.path()));
    ASSERT_TRUE(watch.started());

    const std::string first = Said(watch.ReadLine(kNextProbe));
    EXPECT_NE(first.find("is missing"), std::string::npos) << first;
    std::filesystem::copy_file(test::BinPath("libVantrelUSB.so"), folder.File("libVantrelUSB.so"));
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "device attached");

    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Wait(kNextProbe), 0);
}

}  // namespace
}  // namespace tarnwick
