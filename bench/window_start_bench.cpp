// Time from starting the real tarnwick program to its window being on the
// screen, over several starts: on Linux mapped and viewable on the X
// display, under Wine existing and visible on the benchmark's desktop.
// Needs an X display:
//   xvfb-run -a bench_window_start [RUNS]
//   xvfb-run -a cmake/wine-run bench_window_start.exe [RUNS]
// Target: under 300 ms.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include "tests/gui/own_desktop.h"
#include "tests/gui/win32_program.h"
#else
#include <csignal>

#include "tests/gui/x11_windows.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#endif

namespace {

using namespace tarnwick;
using namespace std::chrono_literals;

constexpr const char* kTitle = "Tarnwick Start Benchmark";

#ifdef _WIN32
constexpr const char* kProgram = "tarnwick.exe";

std::filesystem::path ProgramsFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}
#else
constexpr const char* kProgram = "tarnwick";

std::filesystem::path ProgramsFolder() { return test::BinDir(); }
#endif

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    test::TempDir folder;
    const std::string program = folder.File(kProgram);
    std::filesystem::copy_file(ProgramsFolder() / kProgram, program);
    std::ofstream(folder.File("lang.ini")) << "[title]\n100=" << kTitle << "\n";
#ifdef _WIN32
    const std::optional<std::string> desktop = gui_test::MoveToOwnDesktop();
    if (!desktop) {
        std::fprintf(stderr, "no desktop of the benchmark's own\n");
        return 1;
    }
#endif

    std::vector<double> millis;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
        // Ended when it goes out of scope.
        const gui_test::ProgramProcess child(program, *desktop);
        const bool shown = gui_test::WaitForWindow(child, kTitle, 30s) != nullptr;
#else
        test::ChildProcess child(program, {}, {}, folder.File("output.log"));
        const bool shown = gui_test::WaitForWindowTitled(kTitle, 10s).has_value();
#endif
        const auto onScreen = std::chrono::steady_clock::now();
        if (!shown) {
            std::fprintf(stderr, "run %d: the window did not appear\n", run + 1);
            return 1;
        }
        millis.push_back(std::chrono::duration<double, std::milli>(onScreen - start).count());
#ifndef _WIN32
        child.Signal(SIGTERM);
        child.Wait(5s);
#endif
    }
    std::sort(millis.begin(), millis.end());
    std::printf("window on screen after start: median %.1f ms, min %.1f ms, max %.1f ms over %d runs"
                " (target < 300 ms)\n",
                millis[millis.size() / 2], millis.front(), millis.back(), runs);
    return 0;
}
