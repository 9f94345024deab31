// The window's transfer throughput against the command line's, in one run,
// to an unthrottled simulator: the same 64 MiB image sent alternately by the
// window (inside this process, its bar painting as it goes) and by
// `tarnwick-cli flash`. Counts the bar's paint passes per window transfer.
// Needs an X display:
//   xvfb-run -a bench_window_transfer [RUNS] [PAYLOAD_MIB]     (7 runs of 64 MiB)
// Target: window / CLI throughput at least 0.95, a few hundred repaints at most.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>

#include "bench/median.h"
#include "bench/window_sender.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

using bench::Median;

std::optional<double> SendFromCli(const test::SimProcess& sim, const std::string& image) {
    const auto start = Clock::now();
    const auto result = test::RunProgram(test::BinPath("tarnwick-cli"), {"flash", "--yes", "--quiet", image},
                                         {sim.Environment()}, std::chrono::minutes(2));
    const auto end = Clock::now();
    if (!result || result->exitCode != 0) {
        std::fprintf(stderr, "tarnwick-cli flash failed: %s\n", result ? result->output.c_str() : "timed out");
        return std::nullopt;
    }
    return Seconds(end - start);
}

int RunBench(int runs, unsigned payloadMiB) {
    test::SimProcess sim({.store = false});
    if (!sim.ready()) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    setenv("VANTREL_SIM_SOCKET", sim.socketPath().c_str(), 1);

    gui_test::WindowFixture fixture;
    fixture.WriteLangIni(
        "[message]\n1020=cannot read\n1021=no device\n1022=not an image\n1023=too short\n1024=device\n"
        "1030=done\n1031=no library\n1032=failed\n");
    fixture.libraries.UseFolder(test::BinDir());
    const std::string image = fixture.folder.File("bench.rad");
    const auto made = test::RunProgram(test::BinPath("vantrel-sim"),
                                       {"make-image", image, "--port", "usb", "--flash", "nand",
                                        "--payload", std::to_string(std::uint64_t{payloadMiB} << 20)});
    if (!made || made->exitCode != 0) {
        std::fprintf(stderr, "make-image failed\n");
        return 1;
    }
    CTarnwickDlg& window = fixture.Open();
    window.Show();

    std::vector<double> windowSeconds;
    std::vector<double> cliSeconds;
    unsigned maxRepaints = 0;
    // The simulator serves one pipe at a time and may still be reading what
    // the socket holds when the sender has finished: each send waits for it.
    // The device's own view of each transfer (pipe opened to last byte
    // read) is what both senders are compared by; the senders' wall times
    // also count what each does around the transfer (the CLI starts a
    // process, and both load the file).
    unsigned transfers = 0;
    std::vector<double> windowDevice;
    std::vector<double> cliDevice;
    const auto deviceDone = [&](std::vector<double>& into) {
        const auto transfer = sim.WaitForTransfer(++transfers);
        if (!transfer || !transfer->complete) {
            return false;
        }
        into.push_back(transfer->seconds);
        // The report may be written a moment before the pipe is free again.
        return gui_test::WindowFixture::PumpUntil([&] {
            const auto status = sim.Status();
            return status && !status->transferRunning;
        });
    };
    for (int run = 0; run < runs; ++run) {
        const auto fromWindow = bench::SendFromWindow(fixture, image);
        const bool windowDone = fromWindow && deviceDone(windowDevice);
        const auto fromCli = windowDone ? SendFromCli(sim, image) : std::nullopt;
        if (fromCli && !deviceDone(cliDevice)) {
            std::fprintf(stderr, "the simulator did not finish the CLI's transfer\n");
            return 1;
        }
        if (!fromWindow || !fromCli) {
            std::fprintf(stderr, "run %d failed:\n%s\n", run + 1, sim.Log().c_str());
            return 1;
        }
        windowSeconds.push_back(fromWindow->seconds);
        cliSeconds.push_back(*fromCli);
        maxRepaints = std::max(maxRepaints, fromWindow->repaints);
    }
    window.Hide();

    const double megabytes = static_cast<double>(std::uint64_t{payloadMiB} << 20) / 1e6;
    const double windowRate = megabytes / Median(windowDevice);
    const double cliRate = megabytes / Median(cliDevice);
    std::printf("as the device saw it: window %.1f MB/s, CLI %.1f MB/s (medians of %d transfers of %u MiB each)\n",
                windowRate, cliRate, runs, payloadMiB);
    std::printf("window / CLI throughput: %.3f (target >= 0.95)\n", windowRate / cliRate);
    std::printf("senders' wall time from start to end: window %.3f s, CLI %.3f s\n",
                Median(windowSeconds), Median(cliSeconds));
    std::printf("bar repaints per window transfer: at most %u (target: a few hundred at most)\n", maxRepaints);
    return 0;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const unsigned payloadMiB = argc > 2 ? static_cast<unsigned>(std::max(1, std::atoi(argv[2]))) : 64;
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "no display (run under xvfb-run -a)\n");
        return 1;
    }
    const int status = RunBench(runs, payloadMiB);
    wxEntryCleanup();
    return status;
}
