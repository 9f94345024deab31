// `tarnwick-cli flash IMAGE`: the window's checks in the window's order, then
// the same worker sending the same bytes, with progress on the terminal.

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/flash_display.h"
#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "image/transfer_thread.h"
#include "image/upgrade_command.h"
#include "platform/console.h"
#include "platform/stop_requests.h"
#include "platform/system.h"

namespace tarnwick::cli {
namespace {

struct FlashOptions {
    std::string image;
    bool yes = false;
    bool quiet = false;
};

// A stopped transfer exits as the shell reports a process ended by that
// signal, so a job runner sees why it ended.
int ExitCodeAfter(TransferResult result, std::optional<os::EndRequest> ending) {
    switch (result) {
        case TransferResult::Complete:
            return kExitOk;
        case TransferResult::Stopped:
            if (ending == os::EndRequest::Terminate) {
                return kExitTerminated;
            }
            return ending == os::EndRequest::HangUp ? kExitHungUp : kExitInterrupted;
        case TransferResult::Failed:
            break;
    }
    return kExitTransferFailed;
}

// What the command knows of the device library when it refuses.
enum class LibraryState { Usable, Unusable, OtherWidth };

// A library built for the other width cannot be loaded by this program at
// all; the user can only run the build that matches it.
std::string OtherWidthText() {
    constexpr int kProgramBits = sizeof(void*) * 8;
    constexpr int kLibraryBits = kProgramBits == 64 ? 32 : 64;
    return std::string(kDeviceLibraryName) + " is a " + std::to_string(kLibraryBits) +
           "-bit library and this tarnwick-cli is " + std::to_string(kProgramBits) + "-bit: use the win" +
           std::to_string(kLibraryBits) + " build";
}

std::string RefusalText(Refusal refusal, const std::string& path, LibraryState library) {
    switch (refusal) {
        case Refusal::CannotOpen:
            return "cannot open or read " + path;
        case Refusal::TooShort:
            return path + " is too short to be an image (an image has at least 1028 bytes)";
        case Refusal::NoSignature:
            return path + " is not an image (its first byte is not '$')";
        case Refusal::UartImage:
            return path + " is a UART image; only USB images can be sent";
        case Refusal::TooLarge:
            return path + " is 4 GiB or larger, too large to be an image";
        case Refusal::NoDevice:
            if (library == LibraryState::Usable) {
                return "no device is connected";
            }
            return library == LibraryState::OtherWidth
                       ? OtherWidthText()
                       : std::string("the device library ") + kDeviceLibraryName + " cannot be loaded or lacks open_dev";
        case Refusal::LibraryUnusable:
            return library == LibraryState::OtherWidth
                       ? OtherWidthText()
                       : std::string("the device library ") + kDeviceLibraryName +
                             " cannot be loaded or lacks open_file";
        case Refusal::DeviceUnreachable:
            return "the device library could not open the device pipe";
        case Refusal::CannotLoad:
            return path + " could not be loaded whole as it was checked (changed, unreadable, or too big for memory)";
        case Refusal::CannotStart:
            break;
    }
    return "the transfer could not be started";
}

std::string KindText(const ImageFacts& facts, const std::optional<ImageStatus>& status) {
    std::string kind = FlashTypeName(facts.header.flashType);
    if (status && status->withDate) {
        kind += ", dated " + DateText(*status);
    }
    return kind;
}

bool UserAgrees() {
    std::printf("Send it to the device? Once started, stopping part-way may leave the device "
                "unusable. [y/N] ");
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::printf("\n");
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

// The upgrade command as a terminal runs it: the file from the command
// line, the presence asked once, the question, refusals on stderr.
class FlashFrontEnd final : public UpgradeSeam {
public:
    FlashFrontEnd(const FlashOptions& options, os::System& system)
        : options_(options), system_(system), progress_(system.clock), transfer_(system.sleeper, system.clock) {}

    std::optional<std::string> ChooseImageFile() override { return options_.image; }
    void StoreImagePath(const std::string&) override {}
    void ShowImageKind(const ImageStatus& status) override { status_ = status; }

    bool DevicePresent() override {
        const DeviceCall probe = DeviceLibrary(system_.libraries).OpenDev();
        const PresenceDecision decision = DecidePresence(kDeviceTimerId, probe, false);
        if (decision.closeHandle) {
            system_.handles.Close(probe.handle);
        }
        libraryUsable_ = probe.status == LibraryStatus::Called;
        return decision.devicePresent;
    }

    bool ConfirmSend(const ImageFacts& facts) override {
        if (!options_.quiet) {
            std::printf("image %s: %s, USB, payload %llu bytes\n", facts.path.c_str(),
                        KindText(facts, status_).c_str(), static_cast<unsigned long long>(facts.payloadSize));
            std::fflush(stdout);
        }
        if (!options_.yes && os::IsTerminal(os::StandardStream::Input) && !UserAgrees()) {
            return false;
        }
        // From here on the device pipe may be open: Ctrl-C no longer ends
        // the process, it is answered by FollowTransfer.
        stops_.emplace();
        return true;
    }

    void Refuse(Refusal refusal, std::string_view) override {
        std::fprintf(stderr, "tarnwick-cli flash: %s\n",
                     RefusalText(refusal, options_.image, LibraryStateFor(refusal)).c_str());
    }

    bool StartTransfer(TransferState state, const ImageFacts& facts) override {
        payload_ = facts.payloadSize;
        started_ = system_.clock.Now();
        return transfer_.Start(std::move(state), progress_);
    }

    void RearmPresenceTimer(std::chrono::milliseconds) override {}

    // Shows progress until the worker ends, answers stop requests, and
    // prints the end line. Returns the exit code.
    int FollowTransfer() {
        ProgressDisplay display(!options_.quiet, os::IsTerminal(os::StandardStream::Output), payload_);
        const TransferOutcome outcome = ShowUntilEnd(display);
        transfer_.Join();
        const Seconds elapsed = progress_.pipeClosedAt().value_or(system_.clock.Now()) - started_;
        const std::optional<os::EndRequest> ending = stops_->Ending();
        stops_.reset();
        display.Finish(outcome.sent, elapsed);
        const std::string_view stoppedBy = ending ? os::EndRequestName(*ending) : std::string_view("Ctrl-C");
        std::printf("%s\n", SummaryLine(outcome, elapsed, progress_.payloadSha256(), stoppedBy).c_str());
        std::fflush(stdout);
        return ExitCodeAfter(outcome.result, ending);
    }

private:
    // The loader is asked about the other width only when the library
    // itself is what is refused.
    LibraryState LibraryStateFor(Refusal refusal) const {
        const bool libraryRefused =
            refusal == Refusal::LibraryUnusable || (refusal == Refusal::NoDevice && !libraryUsable_);
        if (libraryRefused && system_.libraries.IsOtherArchitecture(kDeviceLibraryName)) {
            return LibraryState::OtherWidth;
        }
        return libraryUsable_ ? LibraryState::Usable : LibraryState::Unusable;
    }

    TransferOutcome ShowUntilEnd(ProgressDisplay& display) {
        bool warned = false;
        for (;;) {
            const std::optional<TransferOutcome> outcome = progress_.WaitForEnd(kRedrawInterval);
            AnswerStopRequests(display, warned);
            if (outcome) {
                return *outcome;
            }
            display.Show(progress_.sent(), system_.clock.Now() - started_);
        }
    }

    // Ctrl-C warns first and stops at the second press; a request to end
    // (SIGTERM, SIGHUP) comes from something that cannot be asked twice,
    // and stops at once.
    void AnswerStopRequests(ProgressDisplay& display, bool& warned) {
        if (transfer_.StopRequested()) {
            return;
        }
        if (const auto ending = stops_->Ending()) {
            transfer_.RequestStop();
            display.EndLineInPlace();
            std::fprintf(stderr, "%s: stopping after the current piece.\n",
                         std::string(os::EndRequestName(*ending)).c_str());
            return;
        }
        const int presses = stops_->Interrupts();
        if (presses >= 1 && !warned) {
            warned = true;
            display.EndLineInPlace();
            std::fprintf(stderr,
                         "Stopping now may leave the device unusable until an image is sent "
                         "completely. Press Ctrl-C again to stop after the current piece.\n");
        }
        if (presses >= 2) {
            transfer_.RequestStop();
            std::fprintf(stderr, "Stopping after the current piece.\n");
        }
    }

    const FlashOptions& options_;
    os::System& system_;
    std::optional<ImageStatus> status_;
    bool libraryUsable_ = true;
    std::optional<os::StopRequests> stops_;
    // Declared before the thread that reports to it, so that it outlives it.
    SharedProgress progress_;
    TransferThread transfer_;
    std::chrono::steady_clock::time_point started_;
    std::uint64_t payload_ = 0;
};

int RunFlash(const FlashOptions& options) {
    os::System& system = os::RealSystem();
    FlashFrontEnd frontEnd(options, system);
    const UpgradeRun run = UpgradeCommand(system.files, system.libraries, system.handles).Run(frontEnd);
    switch (run.end) {
        case UpgradeEnd::Started:
            return frontEnd.FollowTransfer();
        case UpgradeEnd::Refused:
            return ExitCodeFor(run.refusal.value_or(Refusal::CannotStart));
        case UpgradeEnd::Declined:
        case UpgradeEnd::Cancelled:
            break;
    }
    std::printf("Nothing was sent.\n");
    return run.end == UpgradeEnd::Declined ? kExitDeclined : kExitOk;
}

}  // namespace

void AddFlashCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<FlashOptions>();
    CLI::App* flash = app.add_subcommand(
        "flash", "Check an image as the window does and send it to the device.");
    flash->add_option("IMAGE", options->image, "the .rad image file")->required();
    flash->add_flag("--yes,-y", options->yes, "do not ask before sending (only asked on a terminal)");
    flash->add_flag("--quiet,-q", options->quiet, "no image line and no progress; errors and the end line only");
    flash->footer(
        "Exit codes: 0 sent completely, 1 declined at the question (nothing sent), 65 not a sendable "
        "image, 66 cannot be read, 69 no device or device library unusable, 74 transfer failed, "
        "130 stopped by Ctrl-C, 143 by SIGTERM, 129 by SIGHUP.\n"
        "Ctrl-C during a transfer first only warns; a second press stops after the current piece. "
        "SIGTERM and SIGHUP stop after the current piece at once.\n"
        "\"Sent\" counts the bytes the device pipe accepted; the device confirms nothing.");
    flash->callback([options, &exitCode] { exitCode = RunFlash(*options); });
}

}  // namespace tarnwick::cli
