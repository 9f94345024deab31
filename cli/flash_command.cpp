// `tarnwick-cli flash IMAGE`: the window's checks in the window's order, then
// the same worker sending the same bytes, with progress on the terminal.

#include <memory>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/send_front_end.h"
#include "cli/send_options.h"
#include "image/upgrade_command.h"
#include "platform/system.h"

namespace tarnwick::cli {
namespace {

int RunFlash(const SendOptions& options) {
    os::System& system = os::RealSystem();
    SendFrontEnd frontEnd(options, system, "flash");
    UpgradeCommand command(system.files, system.libraries, system.handles, &system.history);
    const UpgradeRun run = command.Run(frontEnd);
    switch (run.end) {
        case UpgradeEnd::Started:
            return frontEnd.FollowTransfer().exitCode;
        case UpgradeEnd::Refused:
            return frontEnd.refusalExitCode();
        case UpgradeEnd::Declined:
        case UpgradeEnd::Cancelled:
            break;
    }
    frontEnd.Say("Nothing was sent.");
    return run.end == UpgradeEnd::Declined ? kExitDeclined : kExitOk;
}

}  // namespace

void AddFlashCommand(CLI::App& app, int& exitCode) {
    struct Flash {
        SendOptions options;
        std::string sha256;
        int waitSeconds = 0;
    };
    auto flash = std::make_shared<Flash>();
    CLI::App* command = app.add_subcommand(
        "flash", "Check an image as the window does and send it to the device.");
    AddSendOptions(*command, flash->options, flash->sha256);
    CLI::Option* wait = command->add_flag(
        "--wait{-1}", flash->waitSeconds,
        "--wait[=SECONDS]: wait for a device instead of refusing when none is attached; after SECONDS "
        "without one, exit 69 (without SECONDS, wait until one comes)");
    command->footer(
        "Exit codes: 0 sent completely, 1 declined at the question (nothing sent), 64 usage error, 65 not a "
        "sendable image or not the expected one, 66 cannot be read, 69 no device or device library "
        "unusable, 74 transfer failed, 130 stopped by Ctrl-C, 143 by SIGTERM, 129 by SIGHUP.\n"
        "Ctrl-C during a transfer first only warns; a second press stops after the current piece. "
        "SIGTERM and SIGHUP stop after the current piece at once.\n"
        "\"Sent\" counts the bytes the device pipe accepted; the device confirms nothing.");
    command->callback([flash, wait, &exitCode] {
        if (wait->count() > 0) {
            flash->options.waitSeconds = flash->waitSeconds;
        }
        const std::optional<int> usage = CheckSendOptions(flash->options, flash->sha256, "flash");
        exitCode = usage ? *usage : RunFlash(flash->options);
    });
}

}  // namespace tarnwick::cli
