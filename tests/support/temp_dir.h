#pragma once
// A private (0700) folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <string>

namespace tarnwick::test {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace tarnwick::test
