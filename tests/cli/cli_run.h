#pragma once
// Runs the built tarnwick-cli (or a copy of it) to its end, with standard
// output and error kept apart, and reads single fields of its JSON.

#include <string>
#include <vector>

namespace tarnwick::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `program` run with `arguments` from the folder `workDir`, through
// `wrapper` (words put in front of the command, e.g. to drop privileges).
CliResult RunCli(const std::vector<std::string>& arguments, const std::string& workDir = "/",
                 const std::string& program = {}, const std::vector<std::string>& wrapper = {});

// The raw JSON text of field `name` in a one-line object as tarnwick-cli
// writes it: a number, true, false, null, a quoted string or an object.
// Empty when the field is not there.
std::string JsonField(const std::string& json, const std::string& name);

}  // namespace tarnwick::test
