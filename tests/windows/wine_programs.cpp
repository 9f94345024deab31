#include "tests/windows/wine_programs.h"

#include <algorithm>

#include "tests/support/bin_dir.h"

namespace tarnwick::test {

std::string WindowsBinDir() { return TARNWICK_WINDOWS_BIN; }
std::string OtherWidthBinDir() { return TARNWICK_WINDOWS_BIN_OTHER; }
std::string WindowsCli() { return WindowsBinDir() + "/tarnwick-cli.exe"; }

std::string WindowsPath(const std::string& path) {
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string WineRun() { return TARNWICK_WINE_RUN; }

std::vector<std::string> UnderWine(const std::string& program, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), program);
    return arguments;
}

std::optional<ProgramResult> RunUnderWine(const std::string& program, const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& environment,
                                          std::chrono::milliseconds timeout) {
    std::optional<ProgramResult> result = RunProgram(WineRun(), UnderWine(program, arguments), environment, timeout);
    if (result) {
        std::erase(result->output, '\r');
    }
    return result;
}

bool MakeImage(const std::string& out, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"make-image", out};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const std::optional<ProgramResult> made = RunProgram(BinPath("vantrel-sim"), words);
    return made && made->exitCode == 0;
}

}  // namespace tarnwick::test
