#include "image/transfer_worker.h"

#include <algorithm>
#include <span>

#include "image/image_header.h"

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

// How long the first attempt after a take waits for room. Short, because
// the stall limit counts from its start; room normally comes far sooner.
constexpr std::chrono::milliseconds kFirstWait{1};

enum class WriteEnd { Taken, AttemptsSpent, Stalled, Stopped, Broken };

// Writes every byte of one packet or piece, or says why it could not.
// `taken` grows by every byte the pipe accepts, also on the way to an end
// that is not Taken.
//
// The clock is read only while the device is not taking bytes: a write that
// is taken costs one system call and nothing more. The first attempt after
// bytes were taken waits only briefly, so when it finds no room, the time
// the device took its last byte is known to within that wait; the stall
// limit is counted from the start of the wait, never later.
class PacketWriter {
public:
    PacketWriter(os::DevicePipe& pipe, os::Sleeper& sleeper, os::Clock& clock, const std::atomic<bool>& stop)
        : pipe_(pipe), sleeper_(sleeper), clock_(clock), stop_(stop), quietSince_(clock.Now()) {}

    WriteEnd WriteAll(Bytes bytes, std::chrono::milliseconds retryPause, std::uint64_t& taken) {
        int failedAttempts = 0;
        std::chrono::milliseconds wait = waitingForRoom_ ? kWaitSlice : kFirstWait;
        while (!bytes.empty()) {
            const os::WriteResult result = pipe_.Write(bytes, wait);
            if (result.status == os::WriteStatus::Accepted && result.accepted > 0) {
                const std::size_t accepted = std::min(result.accepted, bytes.size());
                bytes = bytes.subspan(accepted);
                taken += accepted;
                waitingForRoom_ = false;
                failedAttempts = 0;
                wait = kFirstWait;
                continue;
            }
            if (result.status == os::WriteStatus::Broken) {
                return WriteEnd::Broken;
            }
            if (!waitingForRoom_) {
                waitingForRoom_ = true;
                const bool waited = result.status == os::WriteStatus::NotReady;
                quietSince_ = clock_.Now() - (waited ? wait : std::chrono::milliseconds{0});
            }
            if (result.status == os::WriteStatus::Failed) {
                ++failedAttempts;
                sleeper_.Sleep(retryPause);
                if (failedAttempts >= kMaxWriteAttempts) {
                    return WriteEnd::AttemptsSpent;
                }
            }
            if (stop_.load(std::memory_order_relaxed)) {
                return CancelUnderWay(WriteEnd::Stopped, taken);
            }
            const auto quiet = clock_.Now() - quietSince_;
            if (quiet >= kStallLimit) {
                return CancelUnderWay(WriteEnd::Stalled, taken);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(kStallLimit - quiet);
            wait = std::clamp(left, std::chrono::milliseconds{1}, kWaitSlice);
        }
        return WriteEnd::Taken;
    }

private:
    // A write the pipe still has under way is ended; the bytes it had
    // written are counted, and the end stays what it was, since the rest of
    // the packet will not follow.
    WriteEnd CancelUnderWay(WriteEnd end, std::uint64_t& taken) {
        const os::WriteResult cancelled = pipe_.Cancel();
        if (cancelled.status == os::WriteStatus::Accepted) {
            taken += cancelled.accepted;
        }
        return end;
    }

    os::DevicePipe& pipe_;
    os::Sleeper& sleeper_;
    os::Clock& clock_;
    const std::atomic<bool>& stop_;
    // Set from the first attempt that found no room until bytes are taken
    // again; quietSince_ is when that began.
    bool waitingForRoom_ = true;
    std::chrono::steady_clock::time_point quietSince_;
};

void MarkEnd(TransferOutcome& outcome, WriteEnd end, TransferFailure whenAttemptsSpent) {
    switch (end) {
        case WriteEnd::Taken:
            break;
        case WriteEnd::AttemptsSpent:
            outcome.result = TransferResult::Failed;
            outcome.failure = whenAttemptsSpent;
            break;
        case WriteEnd::Stalled:
            outcome.result = TransferResult::Failed;
            outcome.failure = TransferFailure::Stalled;
            break;
        case WriteEnd::Broken:
            outcome.result = TransferResult::Failed;
            outcome.failure = TransferFailure::PipeBroken;
            break;
        case WriteEnd::Stopped:
            outcome.result = TransferResult::Stopped;
            break;
    }
}

}  // namespace

std::string_view OutcomeMessageKey(TransferResult result) {
    return result == TransferResult::Complete ? "1030" : "1032";
}

int ProgressPosition(std::uint64_t sent, std::uint64_t payload) {
    if (payload == 0) {
        return 0;
    }
    // Both stay below 2^32, so the product fits 64 bits.
    return static_cast<int>(std::min(sent, payload) * 100 / payload);
}

TransferWorker::TransferWorker(os::Sleeper& sleeper, os::Clock& clock) : sleeper_(sleeper), clock_(clock) {}

TransferOutcome TransferWorker::Run(TransferState state, TransferObserver& observer,
                                    const std::atomic<bool>& stop) {
    TransferOutcome outcome;
    const bool wholeImage = state.image != nullptr && state.imageSize >= kHeaderReadSize;
    if (!wholeImage) {
        outcome.failure = TransferFailure::ImageTooSmall;
    } else if (state.pipe == nullptr) {
        outcome.failure = TransferFailure::PipeBroken;
    } else if (stop.load(std::memory_order_relaxed)) {
        outcome.result = TransferResult::Stopped;
    } else {
        outcome.payload = state.imageSize - kHeaderAreaSize;
        const Bytes image(state.image.get(), state.imageSize);
        const Bytes payload = image.subspan(kHeaderAreaSize);
        PacketWriter writer(*state.pipe, sleeper_, clock_, stop);

        std::uint64_t headerTaken = 0;
        const WriteEnd headerEnd = writer.WriteAll(image.first(kHeaderPacketSize), kHeaderRetryPause, headerTaken);
        MarkEnd(outcome, headerEnd, TransferFailure::HeaderNotTaken);
        outcome.headerSent = headerEnd == WriteEnd::Taken;

        bool going = outcome.headerSent;
        while (going && state.sent < payload.size()) {
            if (stop.load(std::memory_order_relaxed)) {
                outcome.result = TransferResult::Stopped;
                break;
            }
            const std::size_t length = std::min<std::uint64_t>(payload.size() - state.sent, kPieceSize);
            const WriteEnd pieceEnd =
                writer.WriteAll(payload.subspan(state.sent, length), kPieceRetryPause, state.sent);
            MarkEnd(outcome, pieceEnd, TransferFailure::PieceNotTaken);
            going = pieceEnd == WriteEnd::Taken;
            if (going) {
                observer.OnProgress(ProgressPosition(state.sent, payload.size()), state.sent,
                                    payload.size());
            }
        }
        outcome.sent = state.sent;
        if (going && state.sent == payload.size()) {
            outcome.result = TransferResult::Complete;
        }
    }
    state.pipe.reset();
    if (wholeImage) {
        // Below 4 GiB, so the size fits a 32-bit size_t too.
        observer.OnPipeClosed(
            {state.image.get() + kHeaderAreaSize, static_cast<std::size_t>(state.imageSize - kHeaderAreaSize)});
    }
    state.image.reset();
    observer.OnFinished(outcome);
    return outcome;
}

}  // namespace tarnwick
