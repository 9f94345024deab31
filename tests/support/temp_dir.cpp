#include "tests/support/temp_dir.h"

#include <filesystem>
#include <cstdio>
#include <random>

namespace tarnwick::test {

// A fresh name is taken until one does not exist yet: create_directory
// says whether it made the folder, so two tests never share one. Only the
// owner may enter it, which the simulator asks of its socket's folder.
TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) {
        return;
    }
    std::random_device entropy;
    std::mt19937_64 names(entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(names()));
        const fs::path candidate = base / (std::string("tarnwick-test-") + suffix);
        if (fs::create_directory(candidate, error) && !error) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            path_ = candidate.generic_string();
            return;
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

}  // namespace tarnwick::test
