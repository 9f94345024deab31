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

enum class WriteEnd { Taken, AttemptsSpent, Stalled, Stopped };

// Writes every byte of one packet or piece, or says why it could not.
//
// The clock is read only while the device is not taking bytes: a write that
// is taken costs one system call and nothing more. The first attempt after
// bytes were taken waits only briefly, so when it finds no room, the time
// the device took its last byte is known to within that wait; the stall
// limit is counted from the start of the wait, never later.
class PacketWriter {
public:
    PacketWriter(os::HandleIo& io, os::Sleeper& sleeper, os::Clock& clock, os::Handle pipe,
                 const std::atomic<bool>& stop)
        : io_(io), sleeper_(sleeper), clock_(clock), pipe_(pipe), stop_(stop),
          quietSince_(clock.Now()) {}

    WriteEnd WriteAll(Bytes bytes, std::chrono::milliseconds retryPause) {
        int failedAttempts = 0;
        std::chrono::milliseconds wait = waitingForRoom_ ? kWaitSlice : kFirstWait;
        while (!bytes.empty()) {
            const os::WriteResult result = io_.Write(pipe_, bytes, wait);
            if (result.status == os::WriteStatus::Accepted && result.accepted > 0) {
                bytes = bytes.subspan(std::min(result.accepted, bytes.size()));
                waitingForRoom_ = false;
                failedAttempts = 0;
                wait = kFirstWait;
                continue;
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
                return WriteEnd::Stopped;
            }
            const auto quiet = clock_.Now() - quietSince_;
            if (quiet >= kStallLimit) {
                return WriteEnd::Stalled;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(kStallLimit - quiet);
            wait = std::clamp(left, std::chrono::milliseconds{1}, kWaitSlice);
        }
        return WriteEnd::Taken;
    }

private:
    os::HandleIo& io_;
    os::Sleeper& sleeper_;
    os::Clock& clock_;
    const os::Handle pipe_;
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

TransferWorker::TransferWorker(os::HandleIo& io, os::Sleeper& sleeper, os::Clock& clock)
    : io_(io), sleeper_(sleeper), clock_(clock) {}

TransferOutcome TransferWorker::Run(TransferState state, TransferObserver& observer,
                                    const std::atomic<bool>& stop) {
    TransferOutcome outcome;
    const bool wholeImage = state.image != nullptr && state.imageSize >= kHeaderReadSize;
    if (!wholeImage) {
        outcome.failure = TransferFailure::ImageTooSmall;
    } else if (stop.load(std::memory_order_relaxed)) {
        outcome.result = TransferResult::Stopped;
    } else {
        outcome.payload = state.imageSize - kHeaderAreaSize;
        const Bytes image(state.image.get(), state.imageSize);
        const Bytes payload = image.subspan(kHeaderAreaSize);
        PacketWriter writer(io_, sleeper_, clock_, state.pipe.get(), stop);

        const WriteEnd headerEnd = writer.WriteAll(image.first(kHeaderPacketSize), kHeaderRetryPause);
        MarkEnd(outcome, headerEnd, TransferFailure::HeaderNotTaken);
        outcome.headerSent = headerEnd == WriteEnd::Taken;

        bool going = outcome.headerSent;
        while (going && state.sent < payload.size()) {
            if (stop.load(std::memory_order_relaxed)) {
                outcome.result = TransferResult::Stopped;
                break;
            }
            const std::size_t length = std::min<std::uint64_t>(payload.size() - state.sent, kPieceSize);
            const WriteEnd pieceEnd = writer.WriteAll(payload.subspan(state.sent, length), kPieceRetryPause);
            MarkEnd(outcome, pieceEnd, TransferFailure::PieceNotTaken);
            going = pieceEnd == WriteEnd::Taken;
            if (going) {
                state.sent += length;
                observer.OnProgress(ProgressPosition(state.sent, payload.size()), state.sent,
                                    payload.size());
            }
        }
        outcome.sent = state.sent;
        if (going && state.sent == payload.size()) {
            outcome.result = TransferResult::Complete;
        }
    }
    state.pipe.Close();
    if (wholeImage) {
        observer.OnPipeClosed({state.image.get() + kHeaderAreaSize, state.imageSize - kHeaderAreaSize});
    }
    state.image.reset();
    observer.OnFinished(outcome);
    return outcome;
}

}  // namespace tarnwick
