#pragma once
// Puts an image on the device pipe: the 20-byte header packet (file bytes
// 0..19), then the payload (file bytes 1024..end) in pieces of at most 2048
// bytes, written straight from the loaded block.
//
// Run() is synchronous; the front end owns the thread it runs on (the window
// a std::thread, the CLI likewise). The worker never touches a window: it
// reports through a TransferObserver, from its own thread.
//
// What keeps the data safe:
// - A write that takes only part of its bytes is followed by writes of the
//   rest, so no byte is lost or sent twice. The bytes it took are counted.
// - A write that fails is repeated, up to 3002 attempts in a row, with a
//   pause after each failed attempt (5 ms for the header, 1 ms for a piece).
// - A pipe that can never take another byte (a broken pipe, a reset
//   connection, a handle that is no handle) ends the transfer as failed at
//   once; repeating such a write cannot help.
// - A header packet the device never takes ends the transfer as failed; no
//   payload follows a header the device did not get.
// - A device that takes nothing for 60 s ends the transfer as failed. The
//   wait is spent in short slices so that a stop request is honoured within
//   a second; a write still under way then is cancelled, and what it had
//   taken is counted.
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
// The longest single wait handed to DevicePipe::Write; the stop flag is
// looked at between waits.
inline constexpr std::chrono::milliseconds kWaitSlice{200};

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
    PipeBroken,           // the pipe can take no more: broken, reset, or no handle
};

struct TransferOutcome {
    TransferResult result = TransferResult::Failed;
    TransferFailure failure = TransferFailure::None;
    // Payload bytes the pipe accepted: written, which is all a pipe can
    // tell; the device confirms nothing.
    std::uint64_t sent = 0;
    std::uint64_t payload = 0;  // payload size (file size - 1024), 0 when too small
    bool headerSent = false;    // the pipe accepted the 20-byte header packet whole
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
    // After every payload piece the pipe has accepted whole.
    // position = ProgressPosition(sent, payload).
    virtual void OnProgress(int position, std::uint64_t sent, std::uint64_t payload) = 0;
    // Once the pipe is closed and before the block is released, whenever a
    // whole image was handed over: the payload the bytes were sent from.
    // A front end that reports a digest of what it sent computes it here,
    // after the device is done, instead of holding up the first write. This
    // one may take time in proportion to the payload.
    virtual void OnPipeClosed(std::span<const std::uint8_t> /*payload*/) {}
    // Exactly once per Run, last of all: the image block has been released
    // and the pipe closed by then.
    virtual void OnFinished(const TransferOutcome& outcome) = 0;
};

class TransferWorker {
public:
    TransferWorker(os::Sleeper& sleeper, os::Clock& clock);

    // Sends the image held by `state`, which the worker now owns. Whatever
    // happens, the pipe is closed (once) and then the image block released
    // before observer.OnFinished is called and Run returns. `stop` is read
    // between pieces and between waits on a device that takes nothing.
    TransferOutcome Run(TransferState state, TransferObserver& observer,
                        const std::atomic<bool>& stop);

private:
    os::Sleeper& sleeper_;
    os::Clock& clock_;
};

}  // namespace tarnwick
