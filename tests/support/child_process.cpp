#include "tests/support/child_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string current(*entry);
        const std::string name = current.substr(0, current.find('='));
        bool replaced = false;
        for (const std::string& wanted : extra) {
            replaced = replaced || wanted.substr(0, wanted.find('=')) == name;
        }
        if (!replaced) {
            merged.push_back(current);
        }
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, const std::string& logPath) {
    // Everything the child needs is made before fork: between fork and exec
    // only async-signal-safe calls are allowed.
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = MergedEnvironment(environment);
    std::vector<char*> argPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(envp);

    int outputWrite = -1;
    if (logPath.empty()) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        output_ = ends[0];
        outputWrite = ends[1];
    } else {
        outputWrite = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (outputWrite < 0) {
            return;
        }
    }
    const int nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(nullInput, 0);
        dup2(outputWrite, 1);
        dup2(outputWrite, 2);
        // Signals the test blocked or ignored must not stay so for the child.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        execve(program.c_str(), argPointers.data(), envPointers.data());
        _exit(127);
    }
    close(outputWrite);
    if (nullInput >= 0) {
        close(nullInput);
    }
    if (pid_ < 0 && output_ >= 0) {
        close(output_);
        output_ = -1;
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exitCode_) {
        kill(pid_, SIGKILL);
        Wait(std::chrono::seconds(10));
    }
    if (output_ >= 0) {
        close(output_);
    }
}

bool ChildProcess::FillFor(std::chrono::milliseconds timeout) {
    if (output_ < 0 || ended_) {
        return false;
    }
    pollfd wait{output_, POLLIN, 0};
    const int ready = poll(&wait, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t got = read(output_, buffer, sizeof buffer);
    if (got <= 0) {
        if (got == 0 || errno != EINTR) {
            ended_ = true;
        }
        return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (true) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0 || ended_) {
            return std::nullopt;
        }
        FillFor(left);
    }
}

std::string ChildProcess::ReadRest(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (!ended_ && output_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            break;
        }
        FillFor(left);
    }
    return std::exchange(pending_, std::string());
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0 && !exitCode_) {
        kill(pid_, signal);
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (exitCode_ || pid_ <= 0) {
        return exitCode_;
    }
    const auto deadline = SteadyClock::now() + timeout;
    while (true) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        if (done < 0 && errno != EINTR) {
            exitCode_ = -1;
            return exitCode_;
        }
        if (SteadyClock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::optional<ProgramResult> RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& environment,
                                        std::chrono::milliseconds timeout) {
    ChildProcess child(program, arguments, environment);
    if (!child.started()) {
        return std::nullopt;
    }
    ProgramResult result;
    result.output = child.ReadRest(timeout);
    const std::optional<int> code = child.Wait(std::chrono::milliseconds(2000));
    if (!code) {
        return std::nullopt;
    }
    result.exitCode = *code;
    return result;
}

}  // namespace tarnwick::test
