// tarnwick-cli.exe flash under Wine as a ratio to a plain loop of 2048-byte
// WriteFile calls (plain_writefile_loop.exe) into the same sink, through the
// same device library, in interleaved rounds:
//  1. the stand-in VantrelUSB.dll's pipe, relayed to an unthrottled
//     vantrel-sim over loopback TCP, both timed by the simulator's own
//     clock, first to last byte received, so starting Wine and loading the
//     image do not count;
//  2. a plain file, through the plain_file double of the device library,
//     whose "open_file" hands out a synchronous handle on it; there the
//     whole processes are timed, Wine's start and the load included.
// Target for both: at least 0.90.
//
// Needs the default build configured with TARNWICK_WINDOWS_BIN (see
// tests/windows) and that Windows build made with TARNWICK_BUILD_BENCH=ON,
// which builds the loop:
//   cmake --preset win64 -DTARNWICK_BUILD_BENCH=ON && cmake --build --preset win64
//   cmake --preset default -DTARNWICK_WINDOWS_BIN=$PWD/build/win64/bin
//   cmake --build --preset default --target bench_wine_transfer && build/default/bin/bench_wine_transfer

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/median.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/wine_programs.h"

namespace {

using namespace tarnwick;

// Through the stand-in's relay both sides of the pipe are slow under Wine;
// into a plain file the payload is the one the plain loop took 0.2 s for.
constexpr std::uint64_t kPayload = 16u << 20;
constexpr std::uint64_t kFilePayload = 64u << 20;
constexpr int kRounds = 5;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "wine transfer bench: %s\n%s\n", what, detail.c_str());
    std::exit(1);
}

using bench::Median;

// The last transfer as the simulator timed it, once it has ended whole.
double DeviceSeconds(const test::SimProcess& sim, unsigned transfers) {
    const auto transfer = sim.WaitForTransfer(transfers, std::chrono::seconds(300));
    if (!transfer || !transfer->complete || transfer->payloadBytes != kPayload || transfer->seconds <= 0) {
        Fail("the simulator did not get the whole payload", sim.Log());
    }
    while (sim.Status() && sim.Status()->transferRunning) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return transfer->seconds;
}

// Seconds from start to end of the whole process.
double RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment) {
    const auto start = std::chrono::steady_clock::now();
    const auto run = test::RunUnderWine(program, arguments, environment, std::chrono::seconds(300));
    if (!run || run->exitCode != 0) {
        Fail(("under Wine, " + program + " failed").c_str(), run ? run->output : std::string("(timed out)"));
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintRatios(const std::vector<double>& cliRates, const std::vector<double>& loopRates,
                 const std::vector<double>& ratios) {
    std::printf("                                        median\n");
    std::printf("  tarnwick-cli.exe flash               %7.2f MB/s\n", Median(cliRates) / 1e6);
    std::printf("  plain 2048-byte WriteFile loop       %7.2f MB/s\n", Median(loopRates) / 1e6);
    std::printf("  ratio of the medians                 %7.3f\n", Median(cliRates) / Median(loopRates));
    std::printf("  median of the ratios within a round  %7.3f   (target >= 0.90)\n", Median(ratios));
}

// Both programs in a folder of their own beside the plain_file double, each
// sending the image into the file TARNWICK_DOUBLE_FILE names.
void IntoAPlainFile(const std::string& loop, const test::TempDir& dir) {
    namespace fs = std::filesystem;
    const fs::path folder = dir.File("with-plain-file-double");
    fs::create_directories(folder);
    const fs::path bin = test::WindowsBinDir();
    for (const fs::path& file : {bin / "tarnwick-cli.exe", bin / "lang.ini", fs::path(loop),
                                 bin / "doubles" / "plain_file" / "VantrelUSB.dll"}) {
        fs::copy_file(file, folder / file.filename(), fs::copy_options::overwrite_existing);
    }
    const std::string image = dir.File("large.rad");
    if (!test::MakeImage(image, {"--payload", std::to_string(kFilePayload)})) {
        Fail("cannot make the bench image");
    }
    const std::string sink = dir.File("device.bin");
    const std::vector<std::string> environment = {"TARNWICK_DOUBLE_FILE=" + test::WindowsPath(sink)};
    const double payload = static_cast<double>(kFilePayload);
    std::vector<double> cliRates, loopRates, ratios;
    for (int round = 0; round < kRounds; ++round) {
        const double cli = RunToEnd((folder / "tarnwick-cli.exe").string(),
                                    {"flash", test::WindowsPath(image), "--yes", "--quiet"}, environment);
        if (fs::file_size(sink) != 20 + kFilePayload) {
            Fail("tarnwick-cli.exe did not fill the file");
        }
        const double plain =
            RunToEnd((folder / fs::path(loop).filename()).string(), {test::WindowsPath(image)}, environment);
        cliRates.push_back(payload / cli);
        loopRates.push_back(payload / plain);
        ratios.push_back(plain / cli);
    }
    std::printf("transfer under Wine into a plain file through a device library double, %llu MiB payload, "
                "whole processes, %d interleaved rounds:\n",
                static_cast<unsigned long long>(kFilePayload >> 20), kRounds);
    PrintRatios(cliRates, loopRates, ratios);
}

}  // namespace

int main() {
    const std::string loop = test::WindowsBinDir() + "/plain_writefile_loop.exe";
    if (!std::filesystem::exists(loop)) {
        Fail(("no " + loop).c_str(), "build it with: cmake --preset win64 -DTARNWICK_BUILD_BENCH=ON && "
                                     "cmake --build --preset win64");
    }
    test::TempDir dir;
    const std::string image = dir.File("throughput.rad");
    if (!test::MakeImage(image, {"--payload", std::to_string(kPayload)})) {
        Fail("cannot make the bench image");
    }
    test::SimProcess sim({.store = false, .tcp = true});
    if (!sim.ready()) {
        Fail("the simulator did not start", sim.Log());
    }

    const double payload = static_cast<double>(kPayload);
    std::vector<double> cliRates, loopRates, ratios;
    unsigned transfers = 0;
    const std::vector<std::string> environment = {sim.TcpEnvironment()};
    for (int round = 0; round < kRounds; ++round) {
        RunToEnd(test::WindowsCli(), {"flash", test::WindowsPath(image), "--yes", "--quiet"}, environment);
        cliRates.push_back(payload / DeviceSeconds(sim, ++transfers));
        RunToEnd(loop, {test::WindowsPath(image)}, environment);
        loopRates.push_back(payload / DeviceSeconds(sim, ++transfers));
        ratios.push_back(cliRates.back() / loopRates.back());
    }
    std::printf("transfer under Wine through the stand-in's pipe to an unthrottled simulator over loopback TCP, "
                "%llu MiB payload, %d interleaved rounds:\n",
                static_cast<unsigned long long>(kPayload >> 20), kRounds);
    PrintRatios(cliRates, loopRates, ratios);

    IntoAPlainFile(loop, dir);
    return 0;
}
