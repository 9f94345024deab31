// The real tarnwick-cli, the real stand-in library and the real vantrel-sim:
// what the device stores must be the file's bytes 0..19 and 1024..end,
// whatever the device does on its side of the cable.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "cli/exit_codes.h"
#include "tests/transfer/flash_e2e_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::ExpectDeviceGotFile;
using testing::PatternImage;
using testing::PayloadSha;
using testing::RunFlash;
using testing::WriteFile;

class FlashEndToEnd : public ::testing::Test {
protected:
    std::string Image(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = dir.File(name);
        WriteFile(path, bytes);
        return path;
    }

    // Waits until the simulator has the pipe open.
    static bool WaitUntilRunning(const test::SimProcess& sim) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto status = sim.Status();
            if (status && status->transferRunning) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    test::TempDir dir;
};

TEST_F(FlashEndToEnd, DeviceGetsHeaderPacketThenPayloadByteForByte) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const std::vector<std::size_t> payloads = {4, 2047, 2048, 2049, 7 * 2048, 64u << 20};
    unsigned transfers = 0;
    for (const std::size_t payload : payloads) {
        SCOPED_TRACE(payload);
        const auto file = PatternImage(payload);
        const auto result = RunFlash(Image("image.rad", file), {sim.Environment()});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitOk) << result->output;
        EXPECT_THAT(result->output, HasSubstr("complete: sent " + std::to_string(payload) + " of"));
        EXPECT_THAT(result->output, HasSubstr(PayloadSha(file)));
        const auto transfer = sim.WaitForTransfer(++transfers);
        ASSERT_TRUE(transfer.has_value()) << sim.Log();
        ExpectDeviceGotFile(*transfer, file);
        ASSERT_TRUE(testing::WaitUntilIdle(sim, transfers));
    }
}

TEST_F(FlashEndToEnd, DeviceSlowedToFullSpeedStillGetsEverything) {
    constexpr std::uint64_t kFullSpeed = 1'200'000;
    test::SimProcess sim({.rate = kFullSpeed});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto file = PatternImage(1'500'000);
    const auto result = RunFlash(Image("slow.rad", file), {sim.Environment()});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, cli::kExitOk) << result->output;
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    ExpectDeviceGotFile(*transfer, file);
    // The device really was slow: the transfer had to wait for it.
    EXPECT_GE(transfer->seconds, 1.0);
}

TEST_F(FlashEndToEnd, DetachingDuringATransferDoesNotStopIt) {
    test::SimProcess sim({.rate = 2'000'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto file = PatternImage(2u << 20);
    const auto cli = testing::StartFlash(Image("detach.rad", file), sim);
    ASSERT_TRUE(WaitUntilRunning(sim));
    ASSERT_TRUE(sim.Detach());
    EXPECT_EQ(cli->Wait(30s), cli::kExitOk) << cli->ReadRest(1s);
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    ExpectDeviceGotFile(*transfer, file);
    EXPECT_FALSE(sim.Status()->attached);
}

TEST_F(FlashEndToEnd, DroppedConnectionIsAFailureNotASuccess) {
    test::SimProcess sim({.dropAfter = 100'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto file = PatternImage(1u << 20);
    const auto result = RunFlash(Image("drop.rad", file), {sim.Environment()});
    testing::ExpectFlashEndedAtDrop(result, sim, 100'000);
}

TEST_F(FlashEndToEnd, NoDeviceAndUnusablePipesAreRefusedBeforeAnythingIsSent) {
    const auto file = PatternImage(5000);
    const std::string image = Image("refused.rad", file);
    {
        test::SimProcess sim({.detached = true});
        ASSERT_TRUE(sim.ready()) << sim.Log();
        const auto result = RunFlash(image, {sim.Environment()});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
        EXPECT_THAT(result->output, HasSubstr("no device is connected"));
        EXPECT_EQ(sim.Status()->finished, 0u);
    }
    {
        // A device is there, but "open_file" gives -1.
        const auto result = RunFlash(image, {"LD_LIBRARY_PATH=" + test::DoubleDir("open_file_invalid")});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
        EXPECT_THAT(result->output, HasSubstr("could not open the device pipe"));
    }
    {
        const auto result = RunFlash(image, {"LD_LIBRARY_PATH=" + test::DoubleDir("no_open_file")});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
        EXPECT_THAT(result->output, HasSubstr("lacks open_file"));
    }
}

TEST_F(FlashEndToEnd, FileRefusalsComeFirstWithTheirExitCodes) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    auto uart = PatternImage(100);
    uart[1] = 0;
    auto noSignature = PatternImage(100);
    noSignature[0] = '#';
    const auto tooShort = PatternImage(3);  // 1027 bytes
    const std::vector<std::pair<std::string, int>> cases = {
        {Image("uart.rad", uart), cli::kExitNotAnImage},
        {Image("nosig.rad", noSignature), cli::kExitNotAnImage},
        {Image("short.rad", tooShort), cli::kExitNotAnImage},
        {dir.File("missing.rad"), cli::kExitCannotRead},
    };
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path);
        const auto result = RunFlash(path, {sim.Environment()});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, code) << result->output;
    }
    EXPECT_EQ(sim.Status()->finished, 0u);
}

TEST_F(FlashEndToEnd, FirstCtrlCOnlyWarnsAndTheTransferGoesOn) {
    test::SimProcess sim({.rate = 2'000'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto file = PatternImage(2u << 20);
    const auto cli = testing::StartFlash(Image("once.rad", file), sim);
    ASSERT_TRUE(WaitUntilRunning(sim));
    cli->Signal(SIGINT);
    const std::string output = cli->ReadRest(30s);
    EXPECT_EQ(cli->Wait(5s), cli::kExitOk) << output;
    EXPECT_THAT(output, HasSubstr("Stopping now may leave the device unusable"));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    ExpectDeviceGotFile(*transfer, file);
}

// The stops a transfer can be given, from a keyboard or from a job runner.
struct StopCase {
    const char* name;
    std::vector<int> signals;  // sent 300 ms apart
    int exitCode;
    const char* says;
};

std::ostream& operator<<(std::ostream& out, const StopCase& stop) { return out << stop.name; }

class FlashStopped : public FlashEndToEnd, public ::testing::WithParamInterface<StopCase> {};

TEST_P(FlashStopped, EndsWithinASecondOfTheStopWithAnExactPrefixStored) {
    const StopCase& stop = GetParam();
    test::SimProcess sim({.rate = 1'000'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto file = PatternImage(4u << 20);
    const auto cli = testing::StartFlash(Image("stopped.rad", file), sim);
    ASSERT_TRUE(WaitUntilRunning(sim));
    for (std::size_t i = 0; i + 1 < stop.signals.size(); ++i) {
        cli->Signal(stop.signals[i]);
        std::this_thread::sleep_for(300ms);
    }
    const auto stoppedAt = std::chrono::steady_clock::now();
    cli->Signal(stop.signals.back());
    const std::string output = cli->ReadRest(30s);
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 1s);
    EXPECT_EQ(cli->Wait(5s), stop.exitCode) << output;
    EXPECT_THAT(output, HasSubstr(std::string("STOPPED by ") + stop.says));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    EXPECT_LT(transfer->payloadBytes, file.size() - 1024);
    // What the device got before the stop is the start of the payload, in
    // order, with nothing lost or repeated.
    const auto stored = testing::ReadFile(transfer->storedPath);
    EXPECT_EQ(stored.size(), transfer->payloadBytes);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + 1024));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, FlashStopped,
    ::testing::Values(StopCase{"SecondCtrlC", {SIGINT, SIGINT}, cli::kExitInterrupted, "Ctrl-C"},
                      StopCase{"Sigterm", {SIGTERM}, cli::kExitTerminated, "SIGTERM"},
                      StopCase{"Sighup", {SIGHUP}, cli::kExitHungUp, "SIGHUP"}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// Ctrl-C at a terminal reaches a shell loop and the flash it runs alike.
// The flash that stops dies by SIGINT, so the shell stops its loop too
// instead of taking the signal as handled and starting the next flash.
TEST_F(FlashEndToEnd, TwoCtrlCsStopAShellLoopOfFlashesNotJustTheFirst) {
    test::SimProcess sim({.rate = 1'000'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const std::string image = Image("loop.rad", PatternImage(4u << 20));
    // setsid: a process group of its own, as a terminal's foreground job.
    test::ChildProcess loop("/usr/bin/setsid",
                            {"bash", "-c", "for i in 1 2; do \"$CLI\" flash \"$IMAGE\" --yes; done"},
                            testing::ToolEnvironment({sim.Environment(), "CLI=" + test::BinPath("tarnwick-cli"),
                                                      "IMAGE=" + image}));
    ASSERT_TRUE(WaitUntilRunning(sim));
    kill(-loop.pid(), SIGINT);
    std::this_thread::sleep_for(300ms);
    kill(-loop.pid(), SIGINT);
    const std::string output = loop.ReadRest(30s);
    EXPECT_EQ(loop.Wait(5s), cli::kExitInterrupted) << output;
    EXPECT_THAT(output, HasSubstr("STOPPED by Ctrl-C"));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(sim.Status()->finished, 1u) << "the loop went on to a second flash";
    EXPECT_FALSE(sim.Status()->transferRunning);
}

// At the question on a terminal: saying no sends nothing and is no success,
// and a file replaced meanwhile is not sent in place of the one checked.
TEST_F(FlashEndToEnd, QuestionOnATerminalNeverSendsWhatWasNotAgreedOrChecked) {
    struct Case {
        const char* name;
        bool replaceWithUart;
        const char* answer;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {"declined", false, "n\n", cli::kExitDeclined, "Nothing was sent."},
        {"replaced", true, "y\n", cli::kExitCannotRead, "could not be loaded whole as it was checked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::SimProcess sim;
        ASSERT_TRUE(sim.ready()) << sim.Log();
        const auto file = PatternImage(300'000);
        const std::string image = Image(std::string(c.name) + ".rad", file);
        const std::string history = dir.File(std::string(c.name) + ".jsonl");
        testing::TerminalProgram cli(test::BinPath("tarnwick-cli"), {"flash", image},
                                     testing::ToolEnvironment({sim.Environment(), "TARNWICK_HISTORY=" + history}));
        ASSERT_TRUE(cli.ReadUntil("[y/N]", 10s)) << cli.output();
        if (c.replaceWithUart) {
            auto uart = file;
            uart[1] = 0;  // the port byte: a UART image
            WriteFile(image, uart);
        }
        cli.Type(c.answer);
        EXPECT_EQ(cli.Wait(10s), c.exitCode) << cli.output();
        EXPECT_THAT(cli.output(), HasSubstr(c.says));
        // No pipe was ever written: nothing reached the device. A pipe that
        // was opened is a transfer that began, and the history has it.
        for (const auto& transfer : sim.Transfers()) {
            EXPECT_EQ(transfer.headerBytes, 0u);
        }
        const auto recorded = testing::ReadFile(history);
        if (c.replaceWithUart) {
            const std::string text(recorded.begin(), recorded.end());
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
            EXPECT_THAT(text, HasSubstr("\"failure\": \"image not loaded as checked\""));
        } else {
            EXPECT_TRUE(recorded.empty()) << "a refusal before the device was touched was recorded";
        }
    }
}

}  // namespace
}  // namespace tarnwick
