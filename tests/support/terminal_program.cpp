#include "tests/support/terminal_program.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarnwick::testing {

TerminalProgram::TerminalProgram(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& environment) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
        for (const std::string& entry : environment) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

TerminalProgram::~TerminalProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) {
        close(terminal_);
    }
}

TerminalProgram::Read TerminalProgram::ReadFor(std::chrono::milliseconds timeout) {
    pollfd ready{terminal_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) {
        return Read::Nothing;
    }
    char buffer[4096];
    const ssize_t got = read(terminal_, buffer, sizeof buffer);
    if (got <= 0) {
        return Read::Ended;
    }
    output_.append(buffer, static_cast<std::size_t>(got));
    return Read::Some;
}

bool TerminalProgram::ReadUntil(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ReadFor(left) == Read::Ended) {
            return false;
        }
    }
    return true;
}

void TerminalProgram::Type(const std::string& keys) {
    [[maybe_unused]] const ssize_t written = write(terminal_, keys.data(), keys.size());
}

std::optional<int> TerminalProgram::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        const pid_t ended = waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) {
            pid_ = -1;
            while (ReadFor(std::chrono::milliseconds(0)) == Read::Some) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        ReadFor(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

}  // namespace tarnwick::testing
