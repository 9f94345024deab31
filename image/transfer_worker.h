#pragma once
// Puts an image on the device pipe: the 20-byte header packet (file bytes
// 0..19), then the payload (file bytes 1024..end) in pieces of at most 2048
// bytes, written straight from the loaded block.
//
// Run() is synchronous; the front end owns the thread it runs on (the window
// a std::thread, the CLI likewise). The worker never touches a window: it
// reports through a TransferObserver.
//
// Run's thread never writes. The writes are made on a thread of their own
// (image/payload_sender.h), which writes as fast as the device takes the
// bytes, and Run's thread watches it: it wakes a few times a second, and
// when the front end asks to stop or the device has taken nothing for 60 s
// it interrupts the write under way. A second thread, beside the writes,
// hands the payload to the observer for work over it (the CLI's digest).
//
// What keeps the data safe:
// - A write that takes only part of its bytes is followed by writes of the
//   rest, so no byte is lost or sent twice. The bytes it took are counted,
//   also when an interrupt cut it short.
// - A write that fails is repeated, up to 3002 attempts in a row, with a
//   pause after each failed attempt (5 ms for the header, 1 ms for a piece).
// - A pipe that can never take another byte (the device went away, or the
//   handle is no handle) ends the transfer as failed at once; repeating
//   such a write cannot help.
// - A header packet the device never takes ends the transfer as failed; no
//   payload follows a header the device did not get.
// - A device that takes nothing for 60 s ends the transfer as failed, and a
//   stop request ends it within a second.
// - A write that even interrupting cannot end is left to its thread, which
//   keeps the block and the pipe until it returns; the transfer ends as
//   failed within the same bounds.
// - A failed or stopped transfer is never reported as complete.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "image/transfer_state.h"
#include "platform/system.h"

namespace tarnwick {

inline constexpr std::size_t kPieceSize = 2048;
inline constexpr int kMaxWriteAttempts = 3002;
inline constexpr std::chrono::milliseconds kHeaderRetryPause{5};
inline constexpr std::chrono::milliseconds kPieceRetryPause{1};
inline constexpr std::chrono::milliseconds kStallLimit{60'000};
// How often the watching thread looks at the writes while they go well.
inline constexpr std::chrono::milliseconds kWatchInterval{50};
// Once a transfer is ending, how often a write under way is interrupted
// (one interrupt can land just before the write begins and be lost), and
// how long that goes on before the write is given up on.
inline constexpr std::chrono::milliseconds kInterruptRepeat{10};
inline constexpr std::chrono::milliseconds kCancelBound{500};

enum class TransferResult {
    Complete,  // the pipe accepted every payload byte
    Failed,    // see TransferFailure
    Stopped,   // the stop flag was raised before the pipe accepted the last byte
};

enum class TransferFailure {
    None,
    ImageTooSmall,        // fewer than 1028 bytes were handed over; nothing written
    HeaderNotTaken,       // 3002 failed attempts at the header packet; no payload sent
    PieceNotTaken,        // 3002 failed attempts at one payload piece
    Stalled,              // the device took nothing for 60 s
    PipeBroken,           // the pipe can take no more: the device went away, or no handle
    WriteStuck,           // a write that even interrupting could not end; it may
                          // still take bytes that `sent` does not count
    NoWriter,             // no thread could be set up to write; nothing written
    NotLoaded,            // the pipe was open, but the file could not be loaded as it was
                          // checked; nothing written (the upgrade command's refusal "1020")
};

struct TransferOutcome {
    TransferResult result = TransferResult::Failed;
    TransferFailure failure = TransferFailure::None;
    // Payload bytes the pipe accepted: written, which is all a pipe can
    // tell; the device confirms nothing.
    std::uint64_t sent = 0;
    std::uint64_t payload = 0;  // payload size (file size - 1024), 0 when too small
    bool headerSent = false;    // the pipe accepted the 20-byte header packet whole
    // The front end keeps a history, and this transfer's record could not be
    // written there. It changes nothing else.
    bool recordLost = false;
};

// The "message" key that ends a transfer: "1030" only for a complete one,
// "1032" for every other end.
std::string_view OutcomeMessageKey(TransferResult result);

// The exact share sent, 0..100: sent * 100 / payload in 64 bits. 100 only
// when everything was sent.
int ProgressPosition(std::uint64_t sent, std::uint64_t payload);

// Receives the worker's reports on the worker's thread. Implementations must
// not block (the window stores the position and posts a coalesced repaint;
// the CLI stores atomics) and must not throw.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    // On the writing thread, after every payload piece the pipe has
    // accepted whole. position = ProgressPosition(sent, payload).
    virtual void OnProgress(int position, std::uint64_t sent, std::uint64_t payload) = 0;
    // Once per Run that was handed a whole image, on a thread that does not
    // write, while the payload is being sent: the payload the bytes are
    // sent from. For work in proportion to its size (the CLI's digest),
    // which so never holds up a write. OnFinished comes after it returns.
    virtual void BesideTheSend(std::span<const std::uint8_t> /*payload*/) {}
    // On Run's thread, once the pipe has been closed: the device is done.
    // Not called when a write that could not be ended still holds the pipe.
    virtual void OnPipeClosed() {}
    // Exactly once per Run, last of all, on Run's thread. The image block
    // has been released and the pipe closed by then, unless a write that
    // could not be ended still holds them (TransferFailure::WriteStuck).
    virtual void OnFinished(const TransferOutcome& outcome) = 0;
};

class TransferWorker {
public:
    TransferWorker(os::Sleeper& sleeper, os::Clock& clock);

    // Sends the image held by `state`, which the worker now owns. Whatever
    // happens, the pipe is closed (once) and then the image block released
    // before observer.OnFinished is called and Run returns, unless a write
    // that could not be ended holds them; its thread gives them back when
    // it returns. `stop` is read between pieces, and by the watching thread,
    // which then ends a write under way.
    TransferOutcome Run(TransferState state, TransferObserver& observer,
                        const std::atomic<bool>& stop);

private:
    os::Sleeper& sleeper_;
    os::Clock& clock_;
};

}  // namespace tarnwick
