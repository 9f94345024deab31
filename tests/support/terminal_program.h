#pragma once
// A program run on a terminal of its own, as a person at a keyboard runs
// it: the test reads what it shows and types answers. Killed and reaped
// when the object goes.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::testing {

class TerminalProgram {
public:
    // `environment` entries ("NAME=value") are added to the test's own.
    TerminalProgram(const std::string& program, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment);
    TerminalProgram(const TerminalProgram&) = delete;
    TerminalProgram& operator=(const TerminalProgram&) = delete;
    ~TerminalProgram();

    // Reads what the program shows until `text` has appeared; false when it
    // did not within `timeout`.
    bool ReadUntil(const std::string& text, std::chrono::milliseconds timeout);
    void Type(const std::string& keys);
    // The exit code, after reading what is left to show; nullopt when the
    // program still runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    const std::string& output() const { return output_; }

private:
    enum class Read { Some, Nothing, Ended };
    // Reads what comes within `timeout`.
    Read ReadFor(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int terminal_ = -1;
    std::string output_;
};

}  // namespace tarnwick::testing
