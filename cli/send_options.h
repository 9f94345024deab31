#pragma once
// The options `flash` and `station` share, and their checks.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "cli/send_front_end.h"

namespace tarnwick::cli {

// IMAGE, --yes, --quiet, --json, --sha256 (into `sha256`) and --no-history.
void AddSendOptions(CLI::App& command, SendOptions& options, std::string& sha256);
// The exit status of a usage error (a malformed --sha256, or --json that
// would have to ask), after saying it; nullopt when the options are good.
// Fills options.expectedSha256.
std::optional<int> CheckSendOptions(SendOptions& options, const std::string& sha256, const char* command);

}  // namespace tarnwick::cli
