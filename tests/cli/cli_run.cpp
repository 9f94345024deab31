#include "tests/cli/cli_run.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::test {
namespace {

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const std::string& workDir, const std::string& program,
                 const std::vector<std::string>& wrapper) {
    const TempDir scratch;
    std::string command = "cd " + ShellQuoted(workDir) + " && exec";
    for (const std::string& word : wrapper) {
        command += " " + ShellQuoted(word);
    }
    command += " " + ShellQuoted(program.empty() ? BinPath("tarnwick-cli") : program);
    for (const std::string& argument : arguments) {
        command += " " + ShellQuoted(argument);
    }
    command += " 2>" + ShellQuoted(scratch.File("err")) + " </dev/null";

    CliResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadAll(scratch.File("err"));
    return result;
}

std::string JsonField(const std::string& json, const std::string& name) {
    const std::string marker = "\"" + name + "\": ";
    const std::size_t start = json.find(marker);
    if (start == std::string::npos) {
        return {};
    }
    std::size_t at = start + marker.size();
    const std::size_t from = at;
    int depth = 0;
    bool inString = false;
    for (; at < json.size(); ++at) {
        const char c = json[at];
        if (inString) {
            if (c == '\\') {
                ++at;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && depth > 0) {
            --depth;
        } else if ((c == ',' || c == '}' || c == '\n') && depth == 0) {
            break;
        }
    }
    return json.substr(from, at - from);
}

}  // namespace tarnwick::test
