#include "image/payload_sender.h"

#include <algorithm>

#include "image/image_header.h"

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

}  // namespace

SendJob::SendJob(std::shared_ptr<const std::uint8_t[]> image, std::uint64_t imageSize,
                 std::unique_ptr<os::DevicePipe> pipe, std::uint64_t alreadySent,
                 std::chrono::steady_clock::time_point start)
    : image_(std::move(image)),
      imageSize_(imageSize),
      pipe_(std::move(pipe)),
      sent_(alreadySent),
      lastTakenAt_(start.time_since_epoch().count()) {}

std::span<const std::uint8_t> SendJob::image() const {
    return {image_.get(), static_cast<std::size_t>(imageSize_)};
}

std::span<const std::uint8_t> SendJob::payload() const {
    // Below 4 GiB, so the size fits a 32-bit size_t too.
    return {image_.get() + kHeaderAreaSize, static_cast<std::size_t>(imageSize_ - kHeaderAreaSize)};
}

bool SendJob::headerSent() const {
    return headerTaken_.load() == kHeaderPacketSize;
}

std::chrono::steady_clock::time_point SendJob::LastTakenAt() const {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastTakenAt_.load()));
}

SendEnd SendJob::Send(TransferObserver& observer, os::Sleeper& sleeper, os::Clock& clock,
                      const std::atomic<bool>& stop) {
    if (pipe_ == nullptr) {
        return SendEnd::Broken;
    }
    if (stop.load(std::memory_order_relaxed)) {
        return SendEnd::Stopped;
    }
    if (!pipe_->BindWriter()) {
        return SendEnd::NoWriter;
    }
    const SendEnd headerEnd = WriteAll(image().first(kHeaderPacketSize), kHeaderRetryPause, headerTaken_, sleeper, clock);
    if (headerEnd != SendEnd::Complete) {
        return headerEnd;
    }
    const Bytes payload = this->payload();
    while (sent_.load(std::memory_order_relaxed) < payload.size()) {
        if (stop.load(std::memory_order_relaxed)) {
            return SendEnd::Stopped;
        }
        const std::uint64_t sent = sent_.load(std::memory_order_relaxed);
        const std::size_t length = std::min<std::uint64_t>(payload.size() - sent, kPieceSize);
        const SendEnd pieceEnd = WriteAll(payload.subspan(sent, length), kPieceRetryPause, sent_, sleeper, clock);
        if (pieceEnd != SendEnd::Complete) {
            return pieceEnd;
        }
        const std::uint64_t now = sent + length;
        observer.OnProgress(ProgressPosition(now, payload.size()), now, payload.size());
    }
    return SendEnd::Complete;
}

// Writes every byte of one packet or piece, or says why it could not.
// `taken` grows by every byte the pipe accepts, also on the way to another
// end. The clock is read once per write the device takes and while it
// takes nothing; a write taken at once costs nothing more.
SendEnd SendJob::WriteAll(Bytes bytes, std::chrono::milliseconds retryPause, std::atomic<std::uint64_t>& taken,
                          os::Sleeper& sleeper, os::Clock& clock) {
    int failedAttempts = 0;
    while (!bytes.empty()) {
        if (const SendEnd requested = requestedEnd_.load(std::memory_order_relaxed); requested != SendEnd::Complete) {
            return requested;
        }
        phase_.store(Phase::Writing, std::memory_order_release);
        const os::WriteResult result = pipe_->Write(bytes);
        Phase writing = Phase::Writing;
        if (!phase_.compare_exchange_strong(writing, Phase::Idle, std::memory_order_acq_rel)) {
            // Given up on while it was blocked: the watcher has reported the
            // end, and what the observer, the sleeper and the clock belong
            // to may be gone.
            return SendEnd::Abandoned;
        }
        if (result.status == os::WriteStatus::Accepted && result.accepted > 0) {
            const std::size_t accepted = std::min(result.accepted, bytes.size());
            bytes = bytes.subspan(accepted);
            // This thread is the only one that adds.
            taken.store(taken.load(std::memory_order_relaxed) + accepted, std::memory_order_relaxed);
            lastTakenAt_.store(clock.Now().time_since_epoch().count(), std::memory_order_relaxed);
            failedAttempts = 0;
            continue;
        }
        if (result.status == os::WriteStatus::Broken) {
            return SendEnd::Broken;
        }
        if (result.status == os::WriteStatus::Failed) {
            // Every failed attempt is followed by the pause, the last one too.
            sleeper.Sleep(retryPause);
            if (++failedAttempts >= kMaxWriteAttempts) {
                return SendEnd::AttemptsSpent;
            }
        }
        // Failures that each take long (a device that times out slowly)
        // count toward the stall limit too.
        if (clock.Now() - LastTakenAt() >= kStallLimit) {
            return SendEnd::Stalled;
        }
    }
    return SendEnd::Complete;
}

void SendJob::Finish(SendEnd end) {
    std::lock_guard lock(mutex_);
    end_ = end;
    finished_.notify_all();
}

std::optional<SendEnd> SendJob::WaitForEnd(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    finished_.wait_for(lock, wait, [this] { return end_.has_value(); });
    return end_;
}

bool SendJob::Abandon() {
    Phase writing = Phase::Writing;
    return phase_.compare_exchange_strong(writing, Phase::Abandoned);
}

}  // namespace tarnwick
