// The window's transfer throughput against the command line's under Wine,
// in one run: the same image sent alternately by the window (inside this
// process, its bar painting as it goes) and by tarnwick-cli.exe, both
// through the plain_file double of the device library, to a plain file: a
// device that takes every byte as it comes. Each transfer is timed from its
// start to its end, the window's by this program and the CLI's by the CLI
// itself (its summary line), so the CLI's process start does not count.
// Needs an X display:
//   xvfb-run -a cmake/wine-run bench_window_transfer.exe [RUNS] [PAYLOAD_MIB]   (5 runs of 16 MiB)
// Target: window / CLI throughput at least 0.95.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
// After wx's headers, which bring windows.h in their own order.
#include <windows.h>

#include "bench/median.h"
#include "bench/window_sender.h"
#include "tests/gui/own_desktop.h"
#include "tests/gui/win32_program.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"

namespace {

using namespace tarnwick;
namespace fs = std::filesystem;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

using bench::Median;

fs::path ThisProgramsFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// A USB NAND image of `payload` bytes after its header.
void WriteImage(const fs::path& path, std::uint64_t payload) {
    testing::ImageBytes header;
    header.Port(1).Flash(3);
    std::string bytes = header.AsString();
    bytes.resize(1024 + payload, '\x5A');
    std::ofstream(path, std::ios::binary) << bytes;
}

// The transfer time tarnwick-cli reports in its summary line ("... in
// 1.234 s ..."), or nullopt when it failed.
std::optional<double> SendFromCli(const fs::path& cli, const std::string& desktop, const fs::path& image) {
    const fs::path log = cli.parent_path() / "flash.log";
    gui_test::ProgramProcess flash(cli.string(), desktop, {}, {"flash", "--yes", "--quiet", image.string()},
                                   log.string());
    const std::optional<DWORD> status = flash.Wait(std::chrono::minutes(2));
    std::stringstream output;
    output << std::ifstream(log).rdbuf();
    std::smatch took;
    const std::string text = output.str();
    if (!status || *status != 0 || !std::regex_search(text, took, std::regex(" in ([0-9.]+) s"))) {
        std::fprintf(stderr, "tarnwick-cli flash failed:\n%s\n", text.c_str());
        return std::nullopt;
    }
    return std::stod(took[1].str());
}

int RunBench(const std::string& desktop, int runs, unsigned payloadMiB) {
    gui_test::WindowFixture fixture;
    const fs::path folder = fs::path(fixture.folder.path()).make_preferred();
    // The double writes what it is sent to the file this names; the CLI
    // inherits it.
    SetEnvironmentVariableA("TARNWICK_DOUBLE_FILE", (folder / "device.bin").string().c_str());
    const fs::path image = folder / "bench.rad";
    WriteImage(image, std::uint64_t{payloadMiB} << 20);

    // The CLI in a folder of its own, with the double as its device library.
    const fs::path bin = ThisProgramsFolder();
    const fs::path cli = folder / "cli" / "tarnwick-cli.exe";
    fs::create_directory(cli.parent_path());
    fs::copy_file(bin / "tarnwick-cli.exe", cli);
    fs::copy_file(bin / "doubles" / "plain_file" / "VantrelUSB.dll", cli.parent_path() / "VantrelUSB.dll");

    fixture.WriteLangIni("[message]\n1020=cannot read\n1021=no device\n1022=not an image\n1023=too short\n"
                         "1024=device\n1030=done\n1031=no library\n1032=failed\n");
    fixture.libraries.UseFolder(gui_test::DoubleFolder("plain_file"));
    CTarnwickDlg& window = fixture.Open();
    window.Show();

    std::vector<double> windowSeconds;
    std::vector<double> cliSeconds;
    unsigned maxRepaints = 0;
    for (int run = 0; run < runs; ++run) {
        const auto fromWindow = bench::SendFromWindow(fixture, image.string());
        const auto fromCli = fromWindow ? SendFromCli(cli, desktop, image) : std::nullopt;
        if (!fromWindow || !fromCli) {
            std::fprintf(stderr, "run %d failed\n", run + 1);
            return 1;
        }
        windowSeconds.push_back(fromWindow->transferSeconds);
        cliSeconds.push_back(*fromCli);
        maxRepaints = std::max(maxRepaints, fromWindow->repaints);
    }
    window.Hide();

    const double megabytes = static_cast<double>(std::uint64_t{payloadMiB} << 20) / 1e6;
    const double windowRate = megabytes / Median(windowSeconds);
    const double cliRate = megabytes / Median(cliSeconds);
    std::printf("under Wine, to a plain file: window %.1f MB/s, CLI %.1f MB/s (medians of %d transfers of %u MiB each)\n",
                windowRate, cliRate, runs, payloadMiB);
    std::printf("window / CLI throughput: %.3f (target >= 0.95)\n", windowRate / cliRate);
    std::printf("bar repaints per window transfer: at most %u (target: a few hundred at most)\n", maxRepaints);
    return 0;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const unsigned payloadMiB = argc > 2 ? static_cast<unsigned>(std::max(1, std::atoi(argv[2]))) : 16;
    const std::optional<std::string> desktop = tarnwick::gui_test::MoveToOwnDesktop();
    if (!desktop || !wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "no desktop or no display (run under xvfb-run -a)\n");
        return 1;
    }
    int status = 0;
    {
        // The fixture pumps events outside the window's own loops.
        wxGUIEventLoop loop;
        const wxEventLoopActivator active(&loop);
        status = RunBench(*desktop, runs, payloadMiB);
    }
    wxEntryCleanup();
    return status;
}
