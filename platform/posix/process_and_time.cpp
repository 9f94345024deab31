#include "platform/posix/posix_system.h"
#include "platform/profile_rules.h"
#include "platform/thread_priority.h"

#include <climits>
#include <sys/resource.h>
#include <thread>
#include <sys/utsname.h>
#include <unistd.h>

namespace tarnwick::os::posix {

std::chrono::steady_clock::time_point SteadyClock::Now() { return std::chrono::steady_clock::now(); }

void ThreadSleeper::Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

std::string LinuxProcess::SystemVersion() {
    utsname name{};
    if (uname(&name) != 0) {
        return {};
    }
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

std::string LinuxProcess::ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) {
        return {};
    }
    return std::string(path, static_cast<std::size_t>(length));
}

}  // namespace tarnwick::os::posix

namespace tarnwick::os {

// On Linux a nice value belongs to the thread.
void GiveWayToOtherThreads() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19); }

System& RealSystem() {
    static posix::DlLibraryLoader libraries;
    static posix::FdHandleIo handles;
    static posix::PosixFileAccess fileAccess;
    static CheckedFileReader files(fileAccess);
    static RulesProfileStrings profiles(files);
    static posix::SteadyClock clock;
    static posix::ThreadSleeper sleeper;
    static posix::LinuxProcess process;
    static posix::XdgHistoryStore history;
    static System system{libraries, handles, files, profiles, clock, sleeper, process, history};
    return system;
}

}  // namespace tarnwick::os
