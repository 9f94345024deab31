// Time from starting the real tarnwick program to its window being on the
// screen (mapped and viewable), over several starts. Needs an X display:
//   xvfb-run -a bench_window_start [RUNS]
// Target: under 300 ms.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/gui/x11_windows.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char* kTitle = "Tarnwick Start Benchmark";

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    test::TempDir folder;
    const std::string program = folder.File("tarnwick");
    std::filesystem::copy_file(test::BinPath("tarnwick"), program);
    std::ofstream(folder.File("lang.ini")) << "[title]\n100=" << kTitle << "\n";

    std::vector<double> millis;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        test::ChildProcess child(program, {}, {}, folder.File("output.log"));
        const auto rect = gui_test::WaitForWindowTitled(kTitle, std::chrono::seconds(10));
        const auto shown = std::chrono::steady_clock::now();
        if (!rect) {
            std::fprintf(stderr, "run %d: the window did not appear\n", run + 1);
            return 1;
        }
        millis.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        child.Signal(SIGTERM);
        child.Wait(std::chrono::seconds(5));
    }
    std::sort(millis.begin(), millis.end());
    std::printf("window on screen after start: median %.1f ms, min %.1f ms, max %.1f ms over %d runs"
                " (target < 300 ms)\n",
                millis[millis.size() / 2], millis.front(), millis.back(), runs);
    return 0;
}
