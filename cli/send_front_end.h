#pragma once
// The upgrade command as a terminal or a script runs it, for `flash` and
// `station` alike: the image from the command line, the device probed as
// the presence monitor probes it (and waited for, when asked), refusals on
// standard error, and a running transfer followed to its end with progress,
// stop requests and the end line. With --json, standard output carries the
// events of cli/json_events.h and nothing else; the human lines go to
// standard error.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/flash_display.h"
#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "image/transfer_thread.h"
#include "image/upgrade_command.h"
#include "platform/stop_requests.h"
#include "platform/system.h"

namespace tarnwick::cli {

struct SendOptions {
    std::string image;
    bool yes = false;
    bool quiet = false;
    bool json = false;
    bool noHistory = false;
    // The whole file's SHA-256 it must have, lower-case; empty for none.
    std::string expectedSha256;
    // flash --wait: nullopt does not wait, below 0 waits without end, 0
    // probes once.
    std::optional<int> waitSeconds;
};

// How one transfer ended, as the command reports it.
struct SentUnit {
    TransferOutcome outcome;
    Seconds elapsed{0};
    std::optional<os::EndRequest> ending;  // what stopped it, when a signal did
    int exitCode = 0;
};

class SendFrontEnd final : public UpgradeSeam {
public:
    SendFrontEnd(const SendOptions& options, os::System& system, std::string frontEnd);

    std::optional<std::string> ChooseImageFile() override { return options_.image; }
    void StoreImagePath(const std::string&) override {}
    void ShowImageKind(const ImageStatus& status) override { status_ = status; }
    bool DevicePresent() override;
    bool ConfirmSend(const ImageFacts& facts) override;
    void Refuse(Refusal refusal, std::string_view messageKey) override;
    bool StartTransfer(TransferState state, const ImageFacts& facts) override;
    void RearmPresenceTimer(std::chrono::milliseconds) override {}
    std::optional<RecordOrigin> RecordAs() override;
    std::optional<std::string> ExpectedSha256() override;
    void ShowImageDigest(const std::string& sha256) override { imageSha256_ = sha256; }

    enum class WaitEnd { Reached, LibraryUnusable, Stopped, TimedOut };
    // Probes as the presence monitor does until a device is attached
    // (`attached`) or removed, the library proves unusable, a counted stop
    // request comes, or `limit` passes. When the first probe does not find
    // it so, says `announcement` (unless empty) and the waiting event.
    WaitEnd WaitForDevice(bool attached, std::optional<std::chrono::seconds> limit, const std::string& announcement);
    // Whether `refusal` ends the command. A station goes on past a device
    // that went before its pipe was opened, or whose pipe would not open.
    bool EndsTheCommand(Refusal refusal) const;
    // Stop requests are counted from now on instead of ending the process.
    void CountStopRequests();
    os::StopRequests* stops() { return stops_ ? &*stops_ : nullptr; }
    // The unit a station is sending to, for its records and events.
    void SetUnit(std::uint64_t unit) { unit_ = unit; }
    // Follows the started transfer to its end and reports it.
    SentUnit FollowTransfer();
    // The exit status of the last refusal.
    int refusalExitCode() const { return refusalExitCode_; }

    // A human line: on standard output, or on standard error under --json.
    void Say(const std::string& line);
    // An event line under --json; nothing otherwise.
    void Emit(const std::string& event);
    // The image line (and the image event) once the image is known.
    void ShowImage(const ImageFacts& facts);

private:
    // One probe, as a tick of the presence monitor makes it.
    bool ProbeOnce();
    std::string RefusalText(Refusal refusal) const;
    TransferOutcome ShowUntilEnd(ProgressDisplay& display);
    void AnswerStopRequests(ProgressDisplay& display, bool& warned);
    void EmitProgress(std::uint64_t sent, bool last);

    const SendOptions& options_;
    os::System& system_;
    const std::string frontEnd_;
    DeviceLibrary library_;
    PresenceMonitor presence_;
    std::optional<ImageStatus> status_;
    std::string imageSha256_;
    bool libraryUsable_ = true;
    bool historyWarned_ = false;
    int refusalExitCode_ = 0;
    std::optional<std::uint64_t> unit_;
    std::optional<os::StopRequests> stops_;
    std::chrono::steady_clock::time_point lastProgressEvent_{};
    std::uint64_t lastProgressSent_ = 0;
    // Declared before the thread that reports to it, so that it outlives it.
    SharedProgress progress_;
    TransferThread transfer_;
    std::chrono::steady_clock::time_point started_;
    std::uint64_t payload_ = 0;
};

// Asks `question` on the terminal; true only for y or yes.
bool AnswerIsYes(const std::string& question);

// A SHA-256 as the command line gives it: 64 hex digits, lower-cased;
// nullopt for anything else.
std::optional<std::string> NormalizedSha256(const std::string& text);

}  // namespace tarnwick::cli
