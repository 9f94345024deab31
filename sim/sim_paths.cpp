#include "sim/sim_paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick::sim {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string DefaultSocketPath() {
    const std::string chosen = Variable(kSocketVariable);
    if (!chosen.empty()) {
        return chosen;
    }
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return runtime + "/" + kSocketFileName;
    }
    return "/tmp/vantrel-sim-" + std::to_string(geteuid()) + "/" + kSocketFileName;
}

std::string FolderOf(const std::string& socketPath) {
    const std::size_t slash = socketPath.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return socketPath.substr(0, slash);
}

std::string CheckPrivateFolder(const std::string& socketPath) {
    const std::string folder = FolderOf(socketPath);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        return "folder " + folder + " cannot be examined: " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return "folder " + folder + " is not a folder (or is a symbolic link)";
    }
    if (info.st_uid != geteuid()) {
        return "folder " + folder + " belongs to another user";
    }
    if ((info.st_mode & 077) != 0) {
        return "folder " + folder + " is open to other users (mode must be 0700)";
    }
    return {};
}

std::string PreparePrivateFolder(const std::string& socketPath) {
    const std::string folder = FolderOf(socketPath);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "folder " + folder + " cannot be made: " + std::strerror(errno);
    }
    return CheckPrivateFolder(socketPath);
}

}  // namespace tarnwick::sim
