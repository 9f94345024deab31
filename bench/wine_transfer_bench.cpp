// tarnwick-cli.exe flash under Wine against an unthrottled vantrel-sim, as a
// ratio to a plain loop of 2048-byte WriteFile calls into the same sink
// (plain_writefile_loop.exe: the stand-in VantrelUSB.dll's pipe, relayed to
// the simulator over loopback TCP). Both are timed by the simulator's own
// clock, first to last byte received, in interleaved rounds, so starting
// Wine and loading the image do not count and load from elsewhere falls on
// both alike.
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

// Transfers under Wine move a few MB/s through the stand-in's relay, so a
// few MiB already take seconds.
constexpr std::uint64_t kPayload = 4u << 20;
constexpr int kRounds = 7;

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

void RunToEnd(const std::string& program, const std::vector<std::string>& arguments, const test::SimProcess& sim) {
    const auto run = test::RunUnderWine(program, arguments, {sim.TcpEnvironment()}, std::chrono::seconds(300));
    if (!run || run->exitCode != 0) {
        Fail(("under Wine, " + program + " failed").c_str(), run ? run->output : std::string("(timed out)"));
    }
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
    for (int round = 0; round < kRounds; ++round) {
        RunToEnd(test::WindowsCli(), {"flash", test::WindowsPath(image), "--yes", "--quiet"}, sim);
        cliRates.push_back(payload / DeviceSeconds(sim, ++transfers));
        RunToEnd(loop, {test::WindowsPath(image)}, sim);
        loopRates.push_back(payload / DeviceSeconds(sim, ++transfers));
        ratios.push_back(cliRates.back() / loopRates.back());
    }

    std::printf("transfer under Wine, unthrottled simulator over loopback TCP, %llu MiB payload, "
                "%d interleaved rounds:\n",
                static_cast<unsigned long long>(kPayload >> 20), kRounds);
    std::printf("                                        median\n");
    std::printf("  tarnwick-cli.exe flash               %7.2f MB/s\n", Median(cliRates) / 1e6);
    std::printf("  plain 2048-byte WriteFile loop       %7.2f MB/s\n", Median(loopRates) / 1e6);
    std::printf("  ratio of the medians                 %7.3f\n", Median(cliRates) / Median(loopRates));
    std::printf("  median of the ratios within a round  %7.3f\n", Median(ratios));
    return 0;
}
