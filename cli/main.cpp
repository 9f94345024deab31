#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/console.h"
#include "platform/stop_requests.h"

int main(int argc, char** argv) {
    using namespace tarnwick::cli;
    tarnwick::os::UseUtf8Output();
    CLI::App app{"Sends .rad firmware and system-data images to a GPS device on USB."};
    app.set_version_flag("--version", "tarnwick-cli " TARNWICK_VERSION);
    app.require_subcommand(1);
    int exitCode = kExitOk;
    AddInfoCommand(app, exitCode);
    AddTextsCommand(app, exitCode);
    AddFlashCommand(app, exitCode);
    AddWatchCommand(app, exitCode);
    AddStationCommand(app, exitCode);
    AddHistoryCommand(app, exitCode);
    AddDoctorCommand(app, exitCode);
    // UTF-8 on every system, so that a path Windows' ANSI code page cannot
    // spell reaches the commands whole.
    const std::vector<std::string> arguments = tarnwick::os::CommandLineArguments(argc, argv);
    std::vector<const char*> words;
    for (const std::string& argument : arguments) {
        words.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(words.size()), words.data());
    } catch (const CLI::ParseError& error) {
        const int parseExit = app.exit(error);
        return parseExit == 0 ? kExitOk : kExitUsage;
    }
    return tarnwick::os::EndWithStatus(exitCode);
}
