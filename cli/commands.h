#pragma once
// Each subcommand of tarnwick-cli adds itself to the command line here. Its
// callback runs the command and leaves its exit code in `exitCode`.

#include <CLI/CLI.hpp>

namespace tarnwick::cli {

void AddInfoCommand(CLI::App& app, int& exitCode);
void AddTextsCommand(CLI::App& app, int& exitCode);
void AddFlashCommand(CLI::App& app, int& exitCode);
void AddWatchCommand(CLI::App& app, int& exitCode);
void AddStationCommand(CLI::App& app, int& exitCode);
void AddHistoryCommand(CLI::App& app, int& exitCode);
void AddDoctorCommand(CLI::App& app, int& exitCode);

}  // namespace tarnwick::cli
