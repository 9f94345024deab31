#pragma once
// The programs of a Windows build, run under Wine by a Linux test or bench:
// where they are, how they name a Linux path, and the image files they are
// given.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tarnwick::test {

// The bin folder of the Windows build under test (TARNWICK_WINDOWS_BIN),
// holding tarnwick-cli.exe, the stand-in VantrelUSB.dll and lang.ini.
std::string WindowsBinDir();
// The bin folder of a Windows build of the other width
// (TARNWICK_WINDOWS_BIN_OTHER); empty when none was named.
std::string OtherWidthBinDir();
std::string WindowsCli();

// A Linux path as a Windows program under Wine names it: Wine's drive Z: is
// the Linux root. (A path starting with '/' would be read as an option.)
std::string WindowsPath(const std::string& path);

// cmake/wine-run, which runs a Windows program in the project's prefix.
std::string WineRun();
// `program` with `arguments` as the words to give WineRun.
std::vector<std::string> UnderWine(const std::string& program, std::vector<std::string> arguments);

// A Windows program run to its end, its output with Windows line ends
// made plain; nullopt when it had to be killed after `timeout`.
std::optional<ProgramResult> RunUnderWine(const std::string& program, const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& environment,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(120));

// `vantrel-sim make-image OUT ARGUMENTS...`; true when the image was made.
bool MakeImage(const std::string& out, const std::vector<std::string>& arguments);

}  // namespace tarnwick::test
