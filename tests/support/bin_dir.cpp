#include "tests/support/bin_dir.h"

namespace tarnwick::test {

std::string BinDir() { return TARNWICK_TEST_BIN_DIR; }
std::string BinPath(const std::string& name) { return BinDir() + "/" + name; }
std::string DoubleDir(const std::string& name) { return BinDir() + "/doubles/" + name; }
std::string DoubleLibraryPath(const std::string& name) {
    return DoubleDir(name) + "/libVantrelUSB.so";
}

}  // namespace tarnwick::test
