#pragma once
// The upgrade command: from "the user wants to send an image" to a running
// transfer, or to one refusal. Any front end drives it through an
// UpgradeSeam: the window fills it with its file dialog, control 1004,
// message boxes and presence timer; tarnwick-cli with its command line and
// terminal; tests with fakes.
//
// One Run, in this order:
//  1. seam.ChooseImageFile(); nullopt (cancelled) ends the run, nothing changed.
//  2. seam.StoreImagePath(path); kept whatever the rest finds.
//  3. The header checks of CheckImageFile: open ("1020"), length ("1023"),
//     signature ("1022").
//  4. seam.ShowImageKind(status) when the image's type has a kind line.
//  5. UART image ("1022"); 4 GiB or more ("1022").
//  6. seam.DevicePresent(), read once; false refuses with "1021".
//  7. seam.ConfirmSend(); false ends the run (Declined), nothing taken.
//  8. "open_file"("PIPE00") through DeviceLibrary: a library that cannot be
//     loaded or lacks the entry refuses with "1031"; a handle of -1 refuses
//     with "1021" (the device cannot be reached).
//  9. The whole file is loaded into one block: 4 GiB or more refuses with
//     "1022"; a file that cannot be opened or read, that no block can hold,
//     or that is no longer the file checked in step 3 (its first 1028 bytes
//     or its size differ, or the checks fail on them) refuses with "1020".
//     The pipe opened in step 8 is closed on each of these, unwritten.
//     The block's whole-file SHA-256 is taken here only when the front end
//     expects one (step 5a); otherwise the worker takes it beside the send,
//     for the history.
// 10. seam.StartTransfer(state) hands the filled TransferState over, with
//     the history record's first half when seam.RecordAs() names one. When
//     the front end cannot start its thread it returns false; the state it
//     was given has then given back the block and the pipe, and the run
//     refuses with "1032".
// 11. seam.RearmPresenceTimer(1000 ms).
//
// A station sends one image to unit after unit: Prepare checks and loads it
// once (steps 1 to 5, the load of step 9 and its digest), and SendPrepared
// runs steps 6 to 8, 10 and 11 for each unit with a share of that block.
//
// Every refusal is one seam.Refuse() call, after which the run ends; no
// worker is started and the timer is not touched. The front end looks up
// the key in section "message" (the window) or maps the reason to its own
// text and exit code (the CLI).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "image/image_header.h"
#include "image/image_check.h"
#include "image/refusal.h"
#include "image/transfer_record.h"
#include "image/transfer_state.h"
#include "platform/system.h"

namespace tarnwick {

inline constexpr const char* kPipeName = "PIPE00";
inline constexpr std::chrono::milliseconds kPresencePeriodAfterStart{1000};

// What the file looked like when it was handed over, for front ends that
// say more than the window does (the CLI's confirmation and summary).
struct ImageFacts {
    std::string path;
    ImageHeader header;
    std::uint64_t fileSize = 0;
    std::uint64_t payloadSize = 0;  // fileSize - 1024
};

class UpgradeSeam {
public:
    virtual ~UpgradeSeam() = default;
    // The file to send, or nullopt when the user cancelled.
    virtual std::optional<std::string> ChooseImageFile() = 0;
    // The window keeps it as imagePath and refreshes its controls.
    virtual void StoreImagePath(const std::string& path) = 0;
    // Only called when the image's type has a kind line. The front end looks
    // up status.key in section "message" and composes the line with
    // ComposeImageStatusText.
    virtual void ShowImageKind(const ImageStatus& status) = 0;
    // Whether the presence monitor last saw a device. Read once per run.
    virtual bool DevicePresent() = 0;
    // The last chance to say no before the device pipe is opened. The window
    // does not ask, but says no when a transfer already runs; the CLI may
    // ask on a terminal.
    virtual bool ConfirmSend(const ImageFacts& facts) = 0;
    // Reports the one refusal that ends this run.
    virtual void Refuse(Refusal refusal, std::string_view messageKey) = 0;
    // Starts TransferWorker::Run(std::move(state), ...) on a thread of the
    // front end's own, or returns false when it cannot. Must not block on
    // the transfer.
    virtual bool StartTransfer(TransferState state, const ImageFacts& facts) = 0;
    // Re-arms the presence timer (timer 1) with this period.
    virtual void RearmPresenceTimer(std::chrono::milliseconds period) = 0;
    // How this front end's transfers are named in the history; nullopt
    // keeps none.
    virtual std::optional<RecordOrigin> RecordAs() { return std::nullopt; }
    // The whole file's SHA-256 (lower-case hex) the image must have.
    virtual std::optional<std::string> ExpectedSha256() { return std::nullopt; }
    // The whole file's SHA-256, whenever it was taken before the device was
    // touched.
    virtual void ShowImageDigest(const std::string& /*sha256*/) {}
};

// An image checked and loaded once, for a station.
struct PreparedImage {
    ImageCheck check;
    ImageFacts facts;
    std::shared_ptr<const std::uint8_t[]> block;
    std::string sha256;  // of the whole file
};

enum class UpgradeEnd {
    Cancelled,  // no file chosen
    Refused,    // seam.Refuse was called with `refusal`
    Declined,   // seam.ConfirmSend said no
    Started,    // the transfer runs on the front end's thread
};

struct UpgradeRun {
    UpgradeEnd end = UpgradeEnd::Cancelled;
    std::optional<Refusal> refusal;
};

class UpgradeCommand {
public:
    // `io` is what the pipe will be written and closed with; `history`,
    // where transfers are recorded (none without it).
    UpgradeCommand(os::FileReader& files, os::LibraryLoader& libraries, os::HandleIo& io,
                   os::HistoryStore* history = nullptr);

    UpgradeRun Run(UpgradeSeam& seam);

    // For a station: the image chosen, checked and loaded, its digest
    // taken; nullopt when the run ended (a refusal, or no file chosen).
    std::optional<PreparedImage> Prepare(UpgradeSeam& seam);
    UpgradeRun SendPrepared(UpgradeSeam& seam, const PreparedImage& image);

private:
    struct Loaded {
        std::shared_ptr<const std::uint8_t[]> block;
        std::uint64_t size = 0;
        std::string sha256;  // empty until taken
    };

    // Steps 1 to 5, and 5a when the front end expects a digest; `loaded` is
    // filled by 5a.
    std::optional<UpgradeRun> CheckChosen(UpgradeSeam& seam, std::string& path, ImageCheck& check,
                                          std::optional<Loaded>& loaded, bool loadNow);
    std::variant<Loaded, Refusal> Load(const std::string& path, const ImageCheck& check, bool digest);
    // Steps 6 to 11.
    UpgradeRun Send(UpgradeSeam& seam, const std::string& path, const ImageCheck& check,
                    std::optional<Loaded> loaded);
    std::optional<HistoryEntry> HistoryFor(UpgradeSeam& seam, const std::string& path, const ImageCheck& check,
                                           const Loaded& loaded, const std::string& libraryPath);

    os::FileReader& files_;
    os::LibraryLoader& libraries_;
    os::HandleIo& io_;
    os::HistoryStore* history_;
};

}  // namespace tarnwick
