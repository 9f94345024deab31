#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <vector>

namespace tarnwick::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/tarnwick-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes the folder with mode 0700.
    if (mkdtemp(name.data()) != nullptr) {
        path_ = name.data();
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

}  // namespace tarnwick::test
