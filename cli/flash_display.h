#pragma once
// What `tarnwick-cli flash` shows while the worker sends: the worker's
// reports carried to the main thread, and the progress as one line redrawn
// on a terminal or a line at each quarter elsewhere.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "cli/progress_line.h"
#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick::cli {

// Reports from the worker's thread, read by the main thread.
class SharedProgress final : public TransferObserver {
public:
    explicit SharedProgress(os::Clock& clock) : clock_(clock) {}
    // Forgets the last transfer, before the next one starts; the payload's
    // digest is kept for the same block (a station sends one image again
    // and again).
    void Reset();

    void OnProgress(int position, std::uint64_t sent, std::uint64_t payload) override;
    // The digest is taken beside the writes, so that it never holds them
    // up; the transfer's time ends when the pipe is closed.
    void BesideTheSend(std::span<const std::uint8_t> payload) override;
    void OnPipeClosed() override;
    void OnFinished(const TransferOutcome& outcome) override;

    // The outcome once the transfer has ended, or nullopt after `wait`.
    std::optional<TransferOutcome> WaitForEnd(std::chrono::milliseconds wait);
    std::uint64_t sent() const { return sent_.load(std::memory_order_relaxed); }
    // Read once the transfer has ended. Nullopt when the pipe was never
    // closed: a write that could not be ended holds it.
    std::optional<std::chrono::steady_clock::time_point> pipeClosedAt();
    // The payload's SHA-256 in hex; empty for a run that never got a whole
    // image.
    std::string payloadSha256();

private:
    os::Clock& clock_;
    std::atomic<std::uint64_t> sent_{0};
    std::mutex mutex_;
    std::condition_variable ended_;
    std::optional<TransferOutcome> outcome_;
    std::optional<std::chrono::steady_clock::time_point> pipeClosedAt_;
    std::span<const std::uint8_t> hashed_;  // the payload sha256_ is of
    std::string sha256_;
    bool sentWhole_ = false;  // this transfer had a whole image to hash
};

// The progress as the user sees it on standard output.
class ProgressDisplay {
public:
    ProgressDisplay(bool shown, bool terminal, std::uint64_t payload) : shown_(shown), terminal_(terminal), payload_(payload) {}

    // While sending: the redrawn line, or the next quarter's line.
    void Show(std::uint64_t sent, Seconds elapsed);
    // At the end: the redrawn line one last time, left standing.
    void Finish(std::uint64_t sent, Seconds elapsed);
    // Before a message on stderr: the redrawn line is ended, so that the
    // message stands on a line of its own.
    void EndLineInPlace();

private:
    // Redraws the one line in place; blanks cover what a longer line left.
    void DrawLine(const std::string& line);

    const bool shown_;
    const bool terminal_;
    const std::uint64_t payload_;
    PlainProgress plain_;
    std::size_t drawnWidth_ = 0;
    bool lineOpen_ = false;
};

}  // namespace tarnwick::cli
