// The history lives where the XDG base directories put a user's state, and
// every record is one write() with O_APPEND: the kernel places each such
// write whole at the end of the file, whoever else appends at once.

#include "platform/posix/posix_system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/descriptor.h"

namespace tarnwick::os::posix {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Every folder on the way to `path`'s own, made private where it is new.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string XdgHistoryStore::Path() {
    if (std::string named = Variable("TARNWICK_HISTORY"); !named.empty()) {
        return named;
    }
    // XDG_STATE_HOME counts only as an absolute path: a relative one would
    // move the history with the current folder.
    if (const std::string state = Variable("XDG_STATE_HOME"); !state.empty() && state.front() == '/') {
        return state + "/tarnwick/history.jsonl";
    }
    if (const std::string home = Variable("HOME"); !home.empty()) {
        return home + "/.local/state/tarnwick/history.jsonl";
    }
    return {};
}

bool XdgHistoryStore::Append(const std::string& path, std::string_view line) {
    if (path.empty() || !MakeFolders(path)) {
        return false;
    }
    const Descriptor file(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!file.valid()) {
        return false;
    }
    const ssize_t written = write(file.get(), line.data(), line.size());
    if (written > 0 && static_cast<std::size_t>(written) < line.size()) {
        // A full disk took part of it: the line is ended, so that only this
        // record is lost and the next one starts on a line of its own.
        [[maybe_unused]] const ssize_t ended = write(file.get(), "\n", 1);
    }
    return written == static_cast<ssize_t>(line.size());
}

bool XdgHistoryStore::Writable(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    if (access(path.c_str(), F_OK) == 0) {
        return access(path.c_str(), W_OK) == 0;
    }
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        const std::string folder = path.substr(0, slash);
        struct stat info {};
        if (stat(folder.c_str(), &info) == 0) {
            return S_ISDIR(info.st_mode) && access(folder.c_str(), W_OK | X_OK) == 0;
        }
    }
    return false;
}

std::string XdgHistoryStore::UtcNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, now.tv_nsec / 1'000'000);
    return text;
}

}  // namespace tarnwick::os::posix
