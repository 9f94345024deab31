#pragma once
// A program run by a test as a child process: its output read line by line
// (or sent to a file), signals sent to it, its exit awaited with a bound.
// A child still running when the object goes is killed and reaped, and a
// child dies with the thread that started it, so tests never leak one.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::test {

class ChildProcess {
public:
    // Runs `program` with `arguments`. `environment` entries ("NAME=value")
    // are added to or replace the test's own. Standard output and error go
    // to `logPath` when one is given, else to a pipe read by ReadLine.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {}, const std::string& logPath = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of output without its end of line; nullopt when none
    // came within `timeout` or the output ended.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // All output until it ends (or `timeout` passes).
    std::string ReadRest(std::chrono::milliseconds timeout);

    void Signal(int signal) const;
    // The exit code (128 + N for death by signal N); nullopt when it is
    // still running after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    bool FillFor(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    bool ended_ = false;
    std::optional<int> exitCode_;
};

struct ProgramResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a program to its end; nullopt when it had to be killed after `timeout`.
std::optional<ProgramResult> RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& environment = {},
                                        std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace tarnwick::test
