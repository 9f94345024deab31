// `tarnwick-cli station IMAGE`: one image, checked and loaded once, sent to
// device after device. Each unit is waited for, sent to, reported, and
// waited for again until it is removed, so that a device left attached is
// never sent the image twice.

#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_events.h"
#include "cli/progress_line.h"
#include "cli/send_front_end.h"
#include "cli/send_options.h"
#include "image/upgrade_command.h"
#include "platform/console.h"
#include "platform/system.h"

namespace tarnwick::cli {
namespace {

struct StationOptions {
    SendOptions send;
    std::string sha256;
    std::uint64_t count = 0;  // 0: no end but a stop
    bool stopOnFailure = false;
    bool bell = false;
};

struct Tally {
    std::uint64_t complete = 0;
    std::uint64_t failed = 0;
};

class Station {
public:
    Station(const StationOptions& options, os::System& system)
        : options_(options),
          frontEnd_(options.send, system, "station"),
          command_(system.files, system.libraries, system.handles, &system.history) {}

    int Run() {
        const std::optional<PreparedImage> image = command_.Prepare(frontEnd_);
        if (!image) {
            return frontEnd_.refusalExitCode();
        }
        frontEnd_.ShowImage(image->facts);
        if (!Agreed()) {
            frontEnd_.Say("Nothing was sent.");
            return kExitDeclined;
        }
        // From here on a stop request ends the run at once between units,
        // and as `flash` answers it during one.
        frontEnd_.CountStopRequests();
        const int status = SendToUnits(*image);
        frontEnd_.Say(TallyLine());
        frontEnd_.Emit(TallyEvent(tally_.complete, tally_.failed));
        return status;
    }

private:
    int SendToUnits(const PreparedImage& image) {
        for (std::uint64_t unit = 1;;) {
            frontEnd_.SetUnit(unit);
            if (const std::optional<int> ended = WaitFor(true, unit)) {
                return *ended;
            }
            const UpgradeRun run = command_.SendPrepared(frontEnd_, image);
            if (run.end == UpgradeEnd::Refused && frontEnd_.EndsTheCommand(*run.refusal)) {
                return frontEnd_.refusalExitCode();
            }
            if (run.end == UpgradeEnd::Refused && run.refusal == Refusal::NoDevice) {
                // It went again before its pipe was opened: nothing was
                // sent, and the same unit is waited for.
                continue;
            }
            SentUnit sent;
            if (run.end == UpgradeEnd::Started) {
                sent = frontEnd_.FollowTransfer();
            } else {
                // Its pipe would not open: a failed unit, nothing sent.
                sent.outcome.payload = image.facts.payloadSize;
            }
            const bool complete = sent.outcome.result == TransferResult::Complete && run.end == UpgradeEnd::Started;
            ++(complete ? tally_.complete : tally_.failed);
            Report(unit, sent, complete);
            if (sent.outcome.result == TransferResult::Stopped) {
                return sent.exitCode;
            }
            if ((!complete && options_.stopOnFailure) || (options_.count > 0 && tally_.complete >= options_.count)) {
                return Status();
            }
            if (const std::optional<int> ended = WaitFor(false, unit)) {
                return *ended;
            }
            ++unit;
        }
    }

    // Until a device is attached (`attached`) or removed; the exit status
    // when a stop request or an unusable library ends the run first. A
    // Ctrl-C pressed once during a unit let that unit finish, and ends the
    // run here.
    std::optional<int> WaitFor(bool attached, std::uint64_t unit) {
        const std::string announcement =
            "unit " + std::to_string(unit) + (attached ? ": waiting for a device" : ": remove the device");
        switch (frontEnd_.WaitForDevice(attached, std::nullopt, announcement)) {
            case SendFrontEnd::WaitEnd::Reached:
            case SendFrontEnd::WaitEnd::TimedOut:
                return std::nullopt;
            case SendFrontEnd::WaitEnd::Stopped:
                return ExitCodeForStop(frontEnd_.stops()->Ending());
            case SendFrontEnd::WaitEnd::LibraryUnusable:
                break;
        }
        frontEnd_.Refuse(Refusal::LibraryUnusable, RefusalMessageKey(Refusal::LibraryUnusable));
        return frontEnd_.refusalExitCode();
    }

    void Report(std::uint64_t unit, const SentUnit& sent, bool complete) {
        const TransferOutcome& outcome = sent.outcome;
        std::string line = "unit " + std::to_string(unit) + ": " + std::string(OutcomeName(outcome));
        if (outcome.failure != TransferFailure::None) {
            line += " (" + std::string(FailureName(outcome.failure)) + ")";
        }
        line += ", sent " + std::to_string(outcome.sent) + " of " + std::to_string(outcome.payload) + " bytes in " +
                FormatDuration(sent.elapsed);
        if (sent.elapsed.count() > 0) {
            line += " (" +
                    FormatBytes(static_cast<std::uint64_t>(static_cast<double>(outcome.sent) / sent.elapsed.count())) +
                    "/s)";
        }
        frontEnd_.Say(line + "; " + TallyLine());
        frontEnd_.Emit(UnitEvent(unit, outcome, sent.elapsed.count()));
        if (options_.bell) {
            std::fputs(complete ? "\a" : "\a\a\a", stderr);
            std::fflush(stderr);
        }
    }

    std::string TallyLine() const {
        return "tally: " + std::to_string(tally_.complete) + " complete, " + std::to_string(tally_.failed) + " failed";
    }

    // A failed unit outweighs the complete ones; a run that ended without
    // any unit has nothing to show for itself.
    int Status() const {
        if (tally_.failed > 0) {
            return kExitTransferFailed;
        }
        return tally_.complete > 0 ? kExitOk : kExitNoDevice;
    }

    // Asked once, before the first unit, and only on a terminal.
    bool Agreed() {
        if (options_.send.yes || !os::IsTerminal(os::StandardStream::Input)) {
            return true;
        }
        return AnswerIsYes("Send it to every device attached from now on, one after another? Once started, "
                           "stopping part-way may leave a device unusable.");
    }

    const StationOptions& options_;
    SendFrontEnd frontEnd_;
    UpgradeCommand command_;
    Tally tally_;
};

}  // namespace

void AddStationCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<StationOptions>();
    CLI::App* station = app.add_subcommand(
        "station", "Send one image to device after device: each is waited for, sent to, and waited for again "
                   "until it is removed.");
    AddSendOptions(*station, options->send, options->sha256);
    station->add_option("--count", options->count, "end after this many complete units");
    station->add_flag("--stop-on-failure", options->stopOnFailure, "end after the first failed unit");
    station->add_flag("--bell", options->bell,
                      "ring the terminal bell at the end of each unit: once when complete, three times when not");
    station->footer(
        "Exit codes: 0 every unit complete (at least one), 74 a unit failed, 130 stopped by Ctrl-C, 143 by "
        "SIGTERM, 129 by SIGHUP (a stop outweighs a failed unit; the tally says how many failed), 1 declined at "
        "the question, 64 usage error, 65 not a sendable image or not the expected one, 66 cannot be read, 69 "
        "the device library is unusable.\n"
        "Between units Ctrl-C, SIGTERM and SIGHUP end at once; during a unit they act as in flash. The last "
        "line is the tally.");
    station->callback([options, &exitCode] {
        const std::optional<int> usage = CheckSendOptions(options->send, options->sha256, "station");
        exitCode = usage ? *usage : Station(*options, os::RealSystem()).Run();
    });
}

}  // namespace tarnwick::cli
