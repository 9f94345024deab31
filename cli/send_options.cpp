#include "cli/send_options.h"

#include <cstdio>
#include <filesystem>

#include "cli/exit_codes.h"
#include "platform/console.h"

namespace tarnwick::cli {

void AddSendOptions(CLI::App& command, SendOptions& options, std::string& sha256) {
    command.add_option("IMAGE", options.image, "the .rad image file")->required();
    command.add_flag("--yes,-y", options.yes, "do not ask before sending (only asked on a terminal)");
    command.add_flag("--quiet,-q", options.quiet, "no image line and no progress; errors and the end line only");
    command.add_flag("--json", options.json,
                     "one JSON event per line on standard output and nothing else there; the human lines go to "
                     "standard error (never asks: needs --yes on a terminal)");
    command.add_option("--sha256", sha256,
                       "the whole file's SHA-256 as sha256sum prints it: any other file is refused (exit 65) "
                       "before the device is touched");
    command.add_flag("--no-history", options.noHistory, "do not record this run's transfers in the history");
}

std::optional<int> CheckSendOptions(SendOptions& options, const std::string& sha256, const char* command) {
    // The history names the image wherever it is read later. The path is
    // UTF-8 on every system, and so it stays.
    std::error_code unknown;
    const std::u8string given(options.image.begin(), options.image.end());
    if (const std::filesystem::path absolute = std::filesystem::absolute(given, unknown); !unknown) {
        const std::u8string spelled = absolute.u8string();
        options.image.assign(spelled.begin(), spelled.end());
    }
    if (!sha256.empty()) {
        const std::optional<std::string> normal = NormalizedSha256(sha256);
        if (!normal) {
            std::fprintf(stderr, "tarnwick-cli %s: --sha256 needs 64 hexadecimal digits, as sha256sum prints them\n",
                         command);
            return kExitUsage;
        }
        options.expectedSha256 = *normal;
    }
    if (options.json && !options.yes && os::IsTerminal(os::StandardStream::Input)) {
        std::fprintf(stderr, "tarnwick-cli %s: --json never asks: give --yes as well\n", command);
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace tarnwick::cli
