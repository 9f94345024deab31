#include "cli/flash_display.h"

#include <algorithm>
#include <cstdio>

#include "support/sha256.h"

namespace tarnwick::cli {

void SharedProgress::Reset() {
    sent_.store(0, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    outcome_.reset();
    pipeClosedAt_.reset();
    sentWhole_ = false;
}

void SharedProgress::OnProgress(int, std::uint64_t sent, std::uint64_t) {
    sent_.store(sent, std::memory_order_relaxed);
}

void SharedProgress::BesideTheSend(std::span<const std::uint8_t> payload) {
    {
        std::lock_guard lock(mutex_);
        sentWhole_ = true;
        if (payload.data() == hashed_.data() && payload.size() == hashed_.size()) {
            return;
        }
    }
    std::string digest = Sha256::HexDigestOf(payload);
    std::lock_guard lock(mutex_);
    hashed_ = payload;
    sha256_ = std::move(digest);
}

void SharedProgress::OnPipeClosed() {
    const auto now = clock_.Now();
    std::lock_guard lock(mutex_);
    pipeClosedAt_ = now;
}

void SharedProgress::OnFinished(const TransferOutcome& outcome) {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
    ended_.notify_all();
}

std::optional<TransferOutcome> SharedProgress::WaitForEnd(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, wait, [this] { return outcome_.has_value(); });
    return outcome_;
}

std::optional<std::chrono::steady_clock::time_point> SharedProgress::pipeClosedAt() {
    std::lock_guard lock(mutex_);
    return pipeClosedAt_;
}

std::string SharedProgress::payloadSha256() {
    std::lock_guard lock(mutex_);
    return sentWhole_ ? sha256_ : std::string();
}

void ProgressDisplay::Show(std::uint64_t sent, Seconds elapsed) {
    if (!shown_) {
        return;
    }
    if (terminal_) {
        DrawLine(ProgressLine(sent, payload_, elapsed));
    } else if (const auto line = plain_.Next(sent, payload_, elapsed)) {
        std::printf("%s\n", line->c_str());
        std::fflush(stdout);
    }
}

void ProgressDisplay::Finish(std::uint64_t sent, Seconds elapsed) {
    if (shown_ && terminal_) {
        DrawLine(ProgressLine(sent, payload_, elapsed));
        EndLineInPlace();
    }
}

void ProgressDisplay::EndLineInPlace() {
    if (lineOpen_) {
        std::printf("\n");
        std::fflush(stdout);
        lineOpen_ = false;
        drawnWidth_ = 0;
    }
}

void ProgressDisplay::DrawLine(const std::string& line) {
    std::printf("\r%-*s", static_cast<int>(std::max(line.size(), drawnWidth_)), line.c_str());
    std::fflush(stdout);
    drawnWidth_ = line.size();
    lineOpen_ = true;
}

}  // namespace tarnwick::cli
