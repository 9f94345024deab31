#include "tests/support/bin_dir.h"

#include "tests/support/process_usage.h"

namespace tarnwick::test {

std::string BinDir() { return TARNWICK_TEST_BIN_DIR; }
std::string BinPath(const std::string& name) { return BinDir() + "/" + name; }
std::string DoubleDir(const std::string& name) { return BinDir() + "/doubles/" + name; }
std::string DoubleLibraryPath(const std::string& name) {
    return DoubleDir(name) + "/libVantrelUSB.so";
}

std::string StandinLibraryName() {
    return SanitizerRuntimeActive() ? BinPath("libVantrelUSB.so") : "libVantrelUSB.so";
}

std::vector<std::string> LibraryBesideProgram(const std::string& folder) {
    if (!SanitizerRuntimeActive()) {
        return {};
    }
    return {"LD_LIBRARY_PATH=" + folder};
}

}  // namespace tarnwick::test
