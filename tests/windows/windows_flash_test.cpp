// The Windows tarnwick-cli under Wine, through the stand-in VantrelUSB.dll
// beside it, against the Linux simulator over loopback TCP: what the device
// stores must be the file's bytes, and every end must be the one the Linux
// CLI reports.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <regex>
#include <thread>

#include "cli/exit_codes.h"
#include "support/json_text.h"
#include "support/json_value.h"
#include "tests/support/device_checks.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/wine_programs.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

// The time a Windows program may take to start under Wine, on top of what
// it does.
constexpr auto kWineStart = 30s;

std::optional<test::ProgramResult> FlashUnderWine(const std::string& program, const std::string& image,
                                                  const test::SimProcess& sim) {
    return test::RunUnderWine(program, {"flash", test::WindowsPath(image), "--yes"}, {sim.TcpEnvironment()});
}

class WindowsFlashSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WindowsFlashSizes, DeviceGetsHeaderPacketThenPayloadByteForByte) {
    const std::size_t payload = GetParam();
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("image.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(payload), "--seed", std::to_string(payload)}));

    const auto result = FlashUnderWine(test::WindowsCli(), image, sim);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, cli::kExitOk) << result->output;
    EXPECT_THAT(result->output, HasSubstr("complete: sent " + std::to_string(payload) + " of"));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    testing::ExpectDeviceGotFile(*transfer, testing::ReadFile(image));
}

// A lone piece, one whole 2048-byte piece, one byte past it, and many.
INSTANTIATE_TEST_SUITE_P(Payloads, WindowsFlashSizes, ::testing::Values(4, 2048, 2049, 1u << 20));

TEST(WindowsFlash, DroppedConnectionIsAFailureNotASuccess) {
    test::SimProcess sim({.dropAfter = 100'000, .tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("drop.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(1u << 20)}));

    const auto result = FlashUnderWine(test::WindowsCli(), image, sim);
    testing::ExpectFlashEndedAtDrop(result, sim, 100'000);
}

// Ctrl-C reaches a Windows console program as CTRL_C_EVENT (Wine turns the
// signal into it): the first only warns, the second stops after the piece,
// and what the device stored is an exact prefix.
TEST(WindowsFlash, SecondCtrlCStopsAfterThePieceWithAnExactPrefixStored) {
    test::SimProcess sim({.rate = 1'000'000, .tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("stopped.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", std::to_string(20'000'000)}));
    test::ChildProcess flash(test::WineRun(),
                             test::UnderWine(test::WindowsCli(), {"flash", test::WindowsPath(image), "--yes"}),
                             {sim.TcpEnvironment()});
    ASSERT_TRUE(flash.started());
    const auto deadline = std::chrono::steady_clock::now() + kWineStart;
    while (!sim.Status().value_or(test::SimStatus{}).transferRunning && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    flash.Signal(SIGINT);
    std::this_thread::sleep_for(500ms);
    flash.Signal(SIGINT);
    const std::string output = flash.ReadRest(30s);
    EXPECT_EQ(flash.Wait(5s), cli::kExitInterrupted) << output;
    EXPECT_THAT(output, HasSubstr("Press Ctrl-C again"));
    EXPECT_THAT(output, HasSubstr("STOPPED by Ctrl-C"));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    const auto file = testing::ReadFile(image);
    const auto stored = testing::ReadFile(transfer->storedPath);
    EXPECT_LT(stored.size(), file.size() - 1024);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + 1024));
}

// A station through the stand-in, its unit recorded where Windows keeps a
// user's local application data, and read back by history.
TEST(WindowsStation, SendsAUnitAndRecordsItUnderLocalAppData) {
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::TempDir dir;
    const std::string image = dir.File("station.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", "100000"}));
    // Empty, so that the history goes to its place under %LOCALAPPDATA%.
    const std::string defaultPlace = "TARNWICK_HISTORY=";

    const auto station = test::RunUnderWine(test::WindowsCli(),
                                            {"station", test::WindowsPath(image), "--yes", "--count", "1"},
                                            {sim.TcpEnvironment(), defaultPlace});
    ASSERT_TRUE(station.has_value());
    EXPECT_EQ(station->exitCode, cli::kExitOk) << station->output;
    EXPECT_THAT(station->output, HasSubstr("tally: 1 complete, 0 failed"));
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    testing::ExpectDeviceGotFile(*transfer, testing::ReadFile(image));

    const auto history = test::RunUnderWine(test::WindowsCli(), {"history", "--json", "--last", "1"}, {defaultPlace});
    ASSERT_TRUE(history.has_value());
    const std::optional<JsonValue> record = JsonValue::Parse(history->output.substr(0, history->output.find('\n')));
    ASSERT_TRUE(record.has_value()) << history->output;
    EXPECT_EQ((*record)["front_end"].AsString(), "station");
    EXPECT_EQ((*record)["image"].AsString(), test::WindowsPath(image));
    EXPECT_EQ((*record)["outcome"].AsString(), "complete");
    EXPECT_THAT((*record)["library"].AsString(), ::testing::EndsWith("VantrelUSB.dll"));

    const auto stored = test::RunUnderWine("cmd", {"/c", "type", "%LOCALAPPDATA%\\Tarnwick\\history.jsonl"}, {});
    ASSERT_TRUE(stored.has_value());
    const std::string quoted = JsonString(test::WindowsPath(image));
    EXPECT_THAT(stored->output, HasSubstr(quoted.substr(1, quoted.size() - 2)));
}

// Names a Western ANSI code page cannot spell: the programs in a Korean
// folder, the image under a Korean name in a folder named "Zoë". The texts
// are found beside the program, and the image goes over byte for byte.
TEST(WindowsUnicodePaths, FoldersAndImagesTheAnsiCodePageCannotSpell) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const fs::path folder = fs::path(dir.path()) / "업데이트 도구";
    const fs::path images = fs::path(dir.path()) / "Zoë";
    fs::create_directories(folder);
    fs::create_directories(images);
    for (const char* file : {"tarnwick-cli.exe", "lang.ini", "VantrelUSB.dll"}) {
        fs::copy_file(fs::path(test::WindowsBinDir()) / file, folder / file);
    }
    const std::string image = (images / "이미지.rad").string();
    ASSERT_TRUE(test::MakeImage(image, {"--payload", "70000"}));
    const std::string cli = (folder / "tarnwick-cli.exe").string();
    // English Windows (ANSI code page 1252) under Wine, which reads the
    // Linux file names as UTF-8 in this locale.
    const std::string western = "LANG=C.UTF-8";

    const auto texts = test::RunUnderWine(cli, {"texts"}, {western});
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->exitCode, cli::kExitOk) << texts->output;
    EXPECT_THAT(texts->output, HasSubstr("Tarnwick Image Upgrade")) << "lang.ini beside the program was not read";

    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto flash = test::RunUnderWine(cli, {"flash", test::WindowsPath(image), "--yes"},
                                          {sim.TcpEnvironment(), western, "TARNWICK_HISTORY="});
    ASSERT_TRUE(flash.has_value());
    EXPECT_EQ(flash->exitCode, cli::kExitOk) << flash->output;
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    testing::ExpectDeviceGotFile(*transfer, testing::ReadFile(image));
}

// The line after the timestamp ("2024-03-17 12:00:00.000 ").
std::string Said(std::optional<std::string> line) {
    constexpr std::size_t kTimestamp = 24;
    if (!line || line->size() <= kTimestamp) {
        return {};
    }
    std::erase(*line, '\r');
    return line->substr(kTimestamp);
}

TEST(WindowsWatch, SeesAttachAndDetach) {
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    test::ChildProcess watch(test::WineRun(), test::UnderWine(test::WindowsCli(), {"watch"}), {sim.TcpEnvironment()});
    ASSERT_TRUE(watch.started());

    // A probe a second, plus the time it takes.
    constexpr auto kNextProbe = 3s;
    EXPECT_EQ(Said(watch.ReadLine(kWineStart)), "device attached");
    ASSERT_TRUE(sim.Detach());
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "no device attached");
    ASSERT_TRUE(sim.Attach());
    EXPECT_EQ(Said(watch.ReadLine(kNextProbe)), "device attached");
}

// The library of the other width beside the program: it cannot be loaded,
// and the user is told which build to run instead of "no library".
TEST(WindowsFlash, LibraryOfTheOtherWidthIsNamedWithTheBuildToUse) {
    if (test::OtherWidthBinDir().empty()) {
        GTEST_SKIP() << "no build of the other width: configure with "
                        "-DTARNWICK_WINDOWS_BIN_OTHER=<the other Windows build>/bin";
    }
    namespace fs = std::filesystem;
    test::TempDir dir;
    for (const auto& [folder, file] : {std::pair{test::WindowsBinDir(), "tarnwick-cli.exe"},
                                       std::pair{test::WindowsBinDir(), "lang.ini"},
                                       std::pair{test::OtherWidthBinDir(), "VantrelUSB.dll"}}) {
        fs::copy_file(fs::path(folder) / file, fs::path(dir.path()) / file);
    }
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const std::string image = dir.File("image.rad");
    ASSERT_TRUE(test::MakeImage(image, {"--payload", "5000"}));

    const auto result = FlashUnderWine(dir.File("tarnwick-cli.exe"), image, sim);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
    std::smatch widths;
    ASSERT_TRUE(std::regex_search(
        result->output, widths,
        std::regex(R"(VantrelUSB\.dll is a (32|64)-bit library and this tarnwick-cli is (32|64)-bit: use the win\1 build)")))
        << result->output;
    EXPECT_NE(widths[1], widths[2]);
    EXPECT_EQ(sim.Status()->finished, 0u);

    // doctor names the same cause, and reads the width from the file.
    const auto doctor = test::RunUnderWine(dir.File("tarnwick-cli.exe"), {"doctor", "--json"}, {sim.TcpEnvironment()});
    ASSERT_TRUE(doctor.has_value());
    EXPECT_EQ(doctor->exitCode, 1) << doctor->output;
    const std::optional<JsonValue> report = JsonValue::Parse(doctor->output);
    ASSERT_TRUE(report.has_value()) << doctor->output;
    const JsonValue& library = (*report)["checks"].items().at(2);
    EXPECT_EQ(library["check"].AsString(), "device library");
    EXPECT_NE(library["width"].AsNumber(), library["program_width"].AsNumber());
    EXPECT_THAT(library["detail"].AsString(), HasSubstr(std::string("-bit library and this tarnwick-cli is ")));
}

// The pipe the stand-in hands out is a synchronous pipe, as the maker's
// most likely is: doctor says so, and writes nothing to it.
TEST(WindowsDoctor, FindsTheDeviceAndTellsTheKindOfPipe) {
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto doctor =
        test::RunUnderWine(test::WindowsCli(), {"doctor", "--open-pipe", "--json"}, {sim.TcpEnvironment()});
    ASSERT_TRUE(doctor.has_value());
    EXPECT_EQ(doctor->exitCode, cli::kExitOk) << doctor->output;
    const std::optional<JsonValue> report = JsonValue::Parse(doctor->output);
    ASSERT_TRUE(report.has_value()) << doctor->output;
    bool sawPipe = false;
    for (const JsonValue& check : (*report)["checks"].items()) {
        if (check["check"].AsString() == "pipe") {
            sawPipe = true;
            EXPECT_EQ(check["kind"].AsString(), "pipe or socket");
            EXPECT_EQ(check["mode"].AsString(), "synchronous");
        }
        if (check["check"].AsString() == "program") {
            EXPECT_FALSE(check["wine"].AsString().empty()) << "under Wine, but doctor did not say so";
        }
    }
    EXPECT_TRUE(sawPipe) << doctor->output;
    ASSERT_TRUE(sim.WaitForTransfer(1).has_value()) << sim.Log();
    EXPECT_EQ(sim.Transfers().front().headerBytes, 0u) << "doctor wrote to the pipe";
}

}  // namespace
}  // namespace tarnwick
