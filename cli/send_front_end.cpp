#include "cli/send_front_end.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "cli/exit_codes.h"
#include "cli/json_events.h"
#include "device/device_library.h"
#include "device/library_diagnosis.h"
#include "device/presence_monitor.h"
#include "platform/console.h"

namespace tarnwick::cli {
namespace {

// A stopped transfer exits as the shell reports a process ended by that
// signal, so a job runner sees why it ended.
int ExitCodeAfter(TransferResult result, std::optional<os::EndRequest> ending) {
    switch (result) {
        case TransferResult::Complete:
            return kExitOk;
        case TransferResult::Stopped:
            return ExitCodeForStop(ending);
        case TransferResult::Failed:
            break;
    }
    return kExitTransferFailed;
}

std::string KindText(const ImageFacts& facts, const std::optional<ImageStatus>& status) {
    std::string kind = FlashTypeName(facts.header.flashType);
    if (status && status->withDate) {
        kind += ", dated " + DateText(*status);
    }
    return kind;
}

}  // namespace

std::optional<std::string> NormalizedSha256(const std::string& text) {
    if (text.size() != 64) {
        return std::nullopt;
    }
    std::string lower;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool AnswerIsYes(const std::string& question) {
    std::printf("%s [y/N] ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::printf("\n");
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

SendFrontEnd::SendFrontEnd(const SendOptions& options, os::System& system, std::string frontEnd)
    : options_(options),
      system_(system),
      frontEnd_(std::move(frontEnd)),
      library_(system.libraries),
      presence_(library_, system.handles),
      progress_(system.clock),
      transfer_(system.sleeper, system.clock) {}

void SendFrontEnd::Say(const std::string& line) {
    std::FILE* stream = options_.json ? stderr : stdout;
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
}

void SendFrontEnd::Emit(const std::string& event) {
    if (options_.json) {
        std::printf("%s\n", event.c_str());
        std::fflush(stdout);
    }
}

void SendFrontEnd::ShowImage(const ImageFacts& facts) {
    std::string line = "image " + facts.path + ": " + KindText(facts, status_) + ", USB, payload " +
                       std::to_string(facts.payloadSize) + " bytes";
    if (!imageSha256_.empty()) {
        line += ", SHA-256 " + imageSha256_;
    }
    if (!options_.quiet) {
        Say(line);
    }
    Emit(ImageEvent(facts, status_, imageSha256_));
}

bool SendFrontEnd::ProbeOnce() {
    const PresenceMonitor::Tick tick = presence_.OnTimer(kDeviceTimerId);
    // An unusable library changes nothing for the monitor; here it is no device.
    libraryUsable_ = tick.probe.status == LibraryStatus::Called;
    return libraryUsable_ && tick.decision.devicePresent;
}

SendFrontEnd::WaitEnd SendFrontEnd::WaitForDevice(bool attached, std::optional<std::chrono::seconds> limit,
                                                  const std::string& announcement) {
    const auto giveUpAt = system_.clock.Now() + limit.value_or(std::chrono::seconds{0});
    for (bool announced = false;;) {
        if (stops_ && stops_->Count() > 0) {
            return WaitEnd::Stopped;
        }
        if (ProbeOnce() == attached) {
            return WaitEnd::Reached;
        }
        if (!libraryUsable_) {
            return WaitEnd::LibraryUnusable;
        }
        if (limit && system_.clock.Now() >= giveUpAt) {
            return WaitEnd::TimedOut;
        }
        if (!announced) {
            announced = true;
            if (!announcement.empty()) {
                Say(announcement);
            }
            Emit(WaitingEvent(attached ? "device" : "removal", unit_));
        }
        if (stops_) {
            stops_->WaitBeyond(0, presence_.period());
        } else {
            system_.sleeper.Sleep(presence_.period());
        }
    }
}

bool SendFrontEnd::DevicePresent() {
    if (!options_.waitSeconds) {
        return ProbeOnce();
    }
    const int seconds = *options_.waitSeconds;
    std::string announcement;
    if (!options_.quiet) {
        announcement = seconds < 0 ? "waiting for a device" : "waiting up to " + std::to_string(seconds) + " s for a device";
    }
    const std::optional<std::chrono::seconds> limit =
        seconds < 0 ? std::nullopt : std::optional(std::chrono::seconds(seconds));
    return WaitForDevice(true, limit, announcement) == WaitEnd::Reached;
}

bool SendFrontEnd::EndsTheCommand(Refusal refusal) const {
    const bool unitOnly =
        refusal == Refusal::DeviceUnreachable || (refusal == Refusal::NoDevice && libraryUsable_);
    return !unit_ || !unitOnly;
}

bool SendFrontEnd::ConfirmSend(const ImageFacts& facts) {
    if (!unit_) {
        ShowImage(facts);
    }
    if (!options_.yes && !unit_ && os::IsTerminal(os::StandardStream::Input) &&
        !AnswerIsYes("Send it to the device? Once started, stopping part-way may leave the device unusable.")) {
        return false;
    }
    // From here on the device pipe may be open: Ctrl-C no longer ends the
    // process, it is answered by FollowTransfer.
    CountStopRequests();
    return true;
}

void SendFrontEnd::CountStopRequests() {
    if (!stops_) {
        stops_.emplace();
    }
}

void SendFrontEnd::Refuse(Refusal refusal, std::string_view messageKey) {
    refusalExitCode_ = ExitCodeFor(refusal);
    const std::string text = RefusalText(refusal);
    std::fprintf(stderr, "tarnwick-cli %s: %s\n", frontEnd_.c_str(), text.c_str());
    // The error event is the last a command says.
    if (EndsTheCommand(refusal)) {
        Emit(ErrorEvent(refusalExitCode_, messageKey, text));
    }
}

std::string SendFrontEnd::RefusalText(Refusal refusal) const {
    const std::string& path = options_.image;
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
            if (libraryUsable_) {
                return "no device is connected";
            }
            [[fallthrough]];
        case Refusal::LibraryUnusable:
            return CauseText(DiagnoseLibrary(system_.libraries, system_.files, kDeviceLibraryName),
                             kDeviceLibraryName);
        case Refusal::DeviceUnreachable:
            return "the device library could not open the device pipe";
        case Refusal::CannotLoad:
            return path + " could not be loaded whole as it was checked (changed, unreadable, or too big for memory)";
        case Refusal::DigestMismatch:
            return path + " is not the expected image: its SHA-256 is " + imageSha256_ + ", not " +
                   options_.expectedSha256 + "; nothing was sent";
        case Refusal::CannotStart:
            break;
    }
    return "the transfer could not be started";
}

bool SendFrontEnd::StartTransfer(TransferState state, const ImageFacts& facts) {
    payload_ = facts.payloadSize;
    started_ = system_.clock.Now();
    lastProgressSent_ = 0;
    Emit(StartEvent(payload_, unit_));
    progress_.Reset();
    return transfer_.Start(std::move(state), progress_);
}

std::optional<RecordOrigin> SendFrontEnd::RecordAs() {
    if (options_.noHistory) {
        return std::nullopt;
    }
    return RecordOrigin{frontEnd_, unit_};
}

std::optional<std::string> SendFrontEnd::ExpectedSha256() {
    if (options_.expectedSha256.empty()) {
        return std::nullopt;
    }
    return options_.expectedSha256;
}

SentUnit SendFrontEnd::FollowTransfer() {
    ProgressDisplay display(!options_.quiet && !options_.json, os::IsTerminal(os::StandardStream::Output), payload_);
    SentUnit unit;
    unit.outcome = ShowUntilEnd(display);
    transfer_.Join();
    unit.elapsed = progress_.pipeClosedAt().value_or(system_.clock.Now()) - started_;
    unit.ending = stops_ ? stops_->Ending() : std::nullopt;
    unit.exitCode = ExitCodeAfter(unit.outcome.result, unit.ending);
    display.Finish(unit.outcome.sent, unit.elapsed);
    if (unit.outcome.result == TransferResult::Complete) {
        EmitProgress(unit.outcome.sent, true);
    }
    const std::string_view stoppedBy = unit.ending ? os::EndRequestName(*unit.ending) : std::string_view("Ctrl-C");
    const std::string payloadSha256 = progress_.payloadSha256();
    Say(SummaryLine(unit.outcome, unit.elapsed, payloadSha256, stoppedBy));
    Emit(EndEvent(unit.outcome, unit.elapsed.count(), payloadSha256, unit_));
    if (unit.outcome.recordLost && !historyWarned_) {
        historyWarned_ = true;
        std::fprintf(stderr,
                     "tarnwick-cli %s: warning: the history could not be written to %s; the outcome above "
                     "stands\n",
                     frontEnd_.c_str(), system_.history.Path().c_str());
    }
    return unit;
}

TransferOutcome SendFrontEnd::ShowUntilEnd(ProgressDisplay& display) {
    bool warned = false;
    for (;;) {
        const std::optional<TransferOutcome> outcome = progress_.WaitForEnd(kRedrawInterval);
        AnswerStopRequests(display, warned);
        if (outcome) {
            return *outcome;
        }
        display.Show(progress_.sent(), system_.clock.Now() - started_);
        EmitProgress(progress_.sent(), false);
    }
}

// At most one event per redraw, and one at the end when all was sent.
void SendFrontEnd::EmitProgress(std::uint64_t sent, bool last) {
    if (sent == lastProgressSent_) {
        return;
    }
    const auto now = system_.clock.Now();
    if (!last && now - lastProgressEvent_ < kRedrawInterval) {
        return;
    }
    lastProgressEvent_ = now;
    lastProgressSent_ = sent;
    Emit(ProgressEvent(sent, payload_));
}

// Ctrl-C warns first and stops at the second press; a request to end
// (SIGTERM, SIGHUP) comes from something that cannot be asked twice, and
// stops at once.
void SendFrontEnd::AnswerStopRequests(ProgressDisplay& display, bool& warned) {
    if (transfer_.StopRequested() || !stops_) {
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

}  // namespace tarnwick::cli
