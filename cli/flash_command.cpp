// `tarnwick-cli flash IMAGE`: the window's checks in the window's order, then
// the same worker sending the same bytes, with progress on the terminal.

#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/progress_line.h"
#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "support/sha256.h"
#include "image/transfer_worker.h"
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

int ExitCodeFor(UpgradeRefusal refusal) {
    switch (refusal) {
        case UpgradeRefusal::CannotOpen:
        case UpgradeRefusal::CannotLoad:
            return kExitCannotRead;
        case UpgradeRefusal::TooShort:
        case UpgradeRefusal::NoSignature:
        case UpgradeRefusal::UartImage:
        case UpgradeRefusal::TooLarge:
            return kExitNotAnImage;
        case UpgradeRefusal::NoDevice:
        case UpgradeRefusal::LibraryUnusable:
        case UpgradeRefusal::DeviceUnreachable:
            return kExitNoDevice;
        case UpgradeRefusal::CannotStart:
            break;
    }
    return kExitTransferFailed;
}

// A stopped transfer exits as the shell reports a process ended by that
// signal, so a job runner sees why it ended.
int ExitCodeFor(TransferResult result, std::optional<os::EndRequest> ending) {
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

std::string RefusalText(UpgradeRefusal refusal, const std::string& path, bool libraryUsable) {
    switch (refusal) {
        case UpgradeRefusal::CannotOpen:
            return "cannot open or read " + path;
        case UpgradeRefusal::TooShort:
            return path + " is too short to be an image (an image has at least 1028 bytes)";
        case UpgradeRefusal::NoSignature:
            return path + " is not an image (its first byte is not '$')";
        case UpgradeRefusal::UartImage:
            return path + " is a UART image; only USB images can be sent";
        case UpgradeRefusal::TooLarge:
            return path + " is 4 GiB or larger, too large to be an image";
        case UpgradeRefusal::NoDevice:
            return libraryUsable ? std::string("no device is connected")
                                 : std::string("the device library ") + kDeviceLibraryName +
                                       " cannot be loaded or lacks open_dev";
        case UpgradeRefusal::LibraryUnusable:
            return std::string("the device library ") + kDeviceLibraryName +
                   " cannot be loaded or lacks open_file";
        case UpgradeRefusal::DeviceUnreachable:
            return "the device library could not open the device pipe";
        case UpgradeRefusal::CannotLoad:
            return path + " could not be loaded whole as it was checked (changed, unreadable, or too big for memory)";
        case UpgradeRefusal::CannotStart:
            break;
    }
    return "the transfer could not be started";
}

std::string KindText(const ImageFacts& facts, const std::optional<ImageStatus>& status) {
    std::string kind = FlashTypeName(facts.header.flashType);
    if (status && status->withDate) {
        kind += ", dated " + std::to_string(status->dateFirst) + "/" + std::to_string(status->dateSecond) +
                "/" + std::to_string(status->year);
    }
    return kind;
}

// Reports from the worker's thread, read by the main thread.
class SharedProgress final : public TransferObserver {
public:
    explicit SharedProgress(os::Clock& clock) : clock_(clock) {}

    void OnProgress(int, std::uint64_t sent, std::uint64_t) override {
        sent_.store(sent, std::memory_order_relaxed);
    }
    // The digest is taken once the device is done, so that it never holds
    // up the first write; the transfer's time ends before it.
    void OnPipeClosed(std::span<const std::uint8_t> payload) override {
        SentPayload sent{clock_.Now(), {}};
        Sha256 hash;
        hash.Update(payload);
        sent.sha256 = hash.FinishHex();
        std::lock_guard lock(mutex_);
        sentPayload_ = std::move(sent);
    }
    void OnFinished(const TransferOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcome_ = outcome;
        ended_.notify_all();
    }
    // The outcome once the transfer has ended, or nullopt after `wait`.
    std::optional<TransferOutcome> WaitForEnd(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, wait, [this] { return outcome_.has_value(); });
        return outcome_;
    }
    std::uint64_t sent() const { return sent_.load(std::memory_order_relaxed); }
    struct SentPayload {
        std::chrono::steady_clock::time_point pipeClosedAt;
        std::string sha256;
    };
    // Read once the transfer has ended; nullopt for a run that never got a
    // whole image.
    std::optional<SentPayload> sentPayload() {
        std::lock_guard lock(mutex_);
        return sentPayload_;
    }

private:
    os::Clock& clock_;
    std::atomic<std::uint64_t> sent_{0};
    std::mutex mutex_;
    std::condition_variable ended_;
    std::optional<TransferOutcome> outcome_;
    std::optional<SentPayload> sentPayload_;
};

class FlashFrontEnd final : public UpgradeSeam {
public:
    FlashFrontEnd(const FlashOptions& options, os::System& system)
        : options_(options), system_(system),
          showProgress_(!options.quiet),
          terminal_(os::IsTerminal(os::StandardStream::Output)), progress_(system.clock) {}

    ~FlashFrontEnd() override {
        if (worker_.joinable()) {
            stop_.store(true);
            worker_.join();
        }
    }

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
        if (showProgress_) {
            std::printf("image %s: %s, USB, payload %llu bytes\n", facts.path.c_str(),
                        KindText(facts, status_).c_str(),
                        static_cast<unsigned long long>(facts.payloadSize));
            std::fflush(stdout);
        }
        if (!options_.yes && os::IsTerminal(os::StandardStream::Input) && !UserAgrees()) {
            return false;
        }
        // From here on the device pipe may be open: Ctrl-C no longer ends
        // the process, it is answered by FollowTransfer.
        interrupts_.emplace();
        return true;
    }

    void Refuse(UpgradeRefusal refusal, std::string_view) override {
        std::fprintf(stderr, "tarnwick-cli flash: %s\n",
                     RefusalText(refusal, options_.image, libraryUsable_).c_str());
    }

    bool StartTransfer(TransferState state, const ImageFacts&) override {
        payload_ = state.imageSize - kHeaderAreaSize;
        started_ = system_.clock.Now();
        try {
            worker_ = std::thread([this, state = std::move(state)]() mutable {
                TransferWorker(system_.sleeper, system_.clock).Run(std::move(state), progress_, stop_);
            });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void RearmPresenceTimer(std::chrono::milliseconds) override {}

    // Shows progress until the worker ends, answers Ctrl-C, and prints the
    // end line. Returns the exit code.
    int FollowTransfer() {
        PlainProgress plain;
        bool warned = false;
        std::optional<TransferOutcome> outcome;
        while (!outcome) {
            outcome = progress_.WaitForEnd(kRedrawInterval);
            AnswerInterrupts(warned);
            if (!outcome && showProgress_) {
                Show(plain, progress_.sent());
            }
        }
        worker_.join();
        const std::optional<SharedProgress::SentPayload> sent = progress_.sentPayload();
        const Seconds elapsed = (sent ? sent->pipeClosedAt : system_.clock.Now()) - started_;
        const std::optional<os::EndRequest> ending = interrupts_->Ending();
        interrupts_.reset();
        if (showProgress_ && terminal_) {
            DrawLine(ProgressLine(outcome->sent, payload_, elapsed));
            std::printf("\n");
        }
        const std::string_view stoppedBy = ending ? os::EndRequestName(*ending) : std::string_view("Ctrl-C");
        std::printf("%s\n",
                    SummaryLine(*outcome, elapsed, sent ? sent->sha256 : std::string(), stoppedBy).c_str());
        std::fflush(stdout);
        return ExitCodeFor(outcome->result, ending);
    }

private:
    static bool UserAgrees() {
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

    // Ctrl-C warns first and stops at the second press; a request to end
    // (SIGTERM, SIGHUP) comes from something that cannot be asked twice,
    // and stops at once.
    void AnswerInterrupts(bool& warned) {
        if (const auto ending = interrupts_->Ending(); ending && !stop_.load()) {
            stop_.store(true);
            EndLineInPlace();
            std::fprintf(stderr, "%s: stopping after the current piece.\n",
                         std::string(os::EndRequestName(*ending)).c_str());
            return;
        }
        const int presses = interrupts_->Interrupts();
        if (presses >= 1 && !warned) {
            warned = true;
            EndLineInPlace();
            std::fprintf(stderr,
                         "Stopping now may leave the device unusable until an image is sent "
                         "completely. Press Ctrl-C again to stop after the current piece.\n");
        }
        if (presses >= 2 && !stop_.load()) {
            stop_.store(true);
            std::fprintf(stderr, "Stopping after the current piece.\n");
        }
    }

    void Show(PlainProgress& plain, std::uint64_t sent) {
        const Seconds elapsed = system_.clock.Now() - started_;
        if (terminal_) {
            DrawLine(ProgressLine(sent, payload_, elapsed));
        } else if (const auto line = plain.Next(sent, payload_, elapsed)) {
            std::printf("%s\n", line->c_str());
            std::fflush(stdout);
        }
    }

    // Redraws the one line in place; blanks cover what a longer line left.
    void DrawLine(const std::string& line) {
        std::printf("\r%-*s", static_cast<int>(std::max(line.size(), drawnWidth_)), line.c_str());
        std::fflush(stdout);
        drawnWidth_ = line.size();
        lineOpen_ = true;
    }

    void EndLineInPlace() {
        if (lineOpen_) {
            std::printf("\n");
            std::fflush(stdout);
            lineOpen_ = false;
            drawnWidth_ = 0;
        }
    }

    const FlashOptions& options_;
    os::System& system_;
    const bool showProgress_;
    const bool terminal_;
    std::optional<ImageStatus> status_;
    bool libraryUsable_ = true;

    SharedProgress progress_;
    std::atomic<bool> stop_{false};
    std::optional<os::StopRequests> interrupts_;
    std::thread worker_;
    std::chrono::steady_clock::time_point started_;
    std::uint64_t payload_ = 0;
    std::size_t drawnWidth_ = 0;
    bool lineOpen_ = false;
};

int RunFlash(const FlashOptions& options) {
    os::System& system = os::RealSystem();
    FlashFrontEnd frontEnd(options, system);
    const UpgradeRun run = UpgradeCommand(system.files, system.libraries, system.handles).Run(frontEnd);
    switch (run.end) {
        case UpgradeEnd::Started:
            return frontEnd.FollowTransfer();
        case UpgradeEnd::Refused:
            return ExitCodeFor(run.refusal.value_or(UpgradeRefusal::CannotStart));
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
