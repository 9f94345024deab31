// The window's transfer throughput against the command line's, in one run,
// to an unthrottled simulator: the same 64 MiB image sent alternately by the
// window (inside this process, its bar painting as it goes) and by
// `tarnwick-cli flash`. Counts the bar's repaints per window transfer.
// Needs an X display:
//   xvfb-run -a bench_window_transfer [RUNS] [PAYLOAD_MIB]
// Target: window / CLI throughput at least 0.95, a few hundred repaints at most.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>

#include "resources/resource_ids.h"
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct WindowRun {
    double seconds = 0;
    unsigned repaints = 0;
    unsigned updates = 0;
};

// One transfer from the window: from the click of button 1000 until the end
// has been shown.
std::optional<WindowRun> SendFromWindow(gui_test::WindowFixture& fixture, const std::string& image) {
    CTarnwickDlg& window = fixture.dialog();
    if (!gui_test::WindowFixture::PumpUntil([&] { return window.DevicePresent(); })) {
        return std::nullopt;
    }
    const unsigned repaintsBefore = window.BarRepaints();
    fixture.prompts.AnswerNextChooser(image);
    const auto start = Clock::now();
    wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
    fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
    if (!window.TransferRunning() ||
        !gui_test::WindowFixture::PumpUntil([&] { return !window.TransferRunning(); },
                                            std::chrono::minutes(2))) {
        return std::nullopt;
    }
    const auto end = Clock::now();
    // Let the last repaints land before counting them.
    gui_test::WindowFixture::PumpFor(std::chrono::milliseconds(50));
    return WindowRun{Seconds(end - start), window.BarRepaints() - repaintsBefore,
                     window.ProgressUpdates()};
}

std::optional<double> SendFromCli(const test::SimProcess& sim, const std::string& image) {
    const auto start = Clock::now();
    const auto result = test::RunProgram(test::BinPath("tarnwick-cli"), {"flash", "--yes", "--quiet", image},
                                         {sim.Environment()}, std::chrono::minutes(2));
    const auto end = Clock::now();
    if (!result || result->exitCode != 0) {
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
    fixture.WriteLangIni("[message]\n1024=device\n1030=done\n");
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
    unsigned maxUpdates = 0;
    for (int run = 0; run < runs; ++run) {
        const auto fromWindow = SendFromWindow(fixture, image);
        const auto fromCli = SendFromCli(sim, image);
        if (!fromWindow || !fromCli) {
            std::fprintf(stderr, "run %d failed:\n%s\n", run + 1, sim.Log().c_str());
            return 1;
        }
        windowSeconds.push_back(fromWindow->seconds);
        cliSeconds.push_back(*fromCli);
        maxRepaints = std::max(maxRepaints, fromWindow->repaints);
        maxUpdates = std::max(maxUpdates, fromWindow->updates);
    }
    window.Hide();

    const double megabytes = static_cast<double>(std::uint64_t{payloadMiB} << 20) / 1e6;
    const double windowRate = megabytes / Median(windowSeconds);
    const double cliRate = megabytes / Median(cliSeconds);
    std::printf("window: %.1f MB/s, CLI: %.1f MB/s (medians of %d transfers of %u MiB each)\n",
                windowRate, cliRate, runs, payloadMiB);
    std::printf("window / CLI throughput: %.3f (target >= 0.95)\n", windowRate / cliRate);
    std::printf("bar repaints per window transfer: at most %u; bar updates asked by the worker: at most %u"
                " (target: a few hundred at most)\n",
                maxRepaints, maxUpdates);
    return 0;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const unsigned payloadMiB = argc > 2 ? static_cast<unsigned>(std::max(1, std::atoi(argv[2]))) : 64;
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "no display (run under xvfb-run -a)\n");
        return 1;
    }
    const int status = RunBench(runs, payloadMiB);
    wxEntryCleanup();
    return status;
}
