#include "sim/incoming_transfer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace tarnwick::sim {
namespace {

// Threads waiting on a socket look up this often to see whether to stop.
constexpr int kStopCheckMs = 100;

}  // namespace

IncomingTransfer::IncomingTransfer(const ServeOptions& options, const std::atomic<bool>& stopping, int fd,
                                   unsigned index, const std::string& pipeName)
    : options_(options), stopping_(stopping), fd_(fd),
      limit_(options.dropAfter ? options.dropAfter : options.stallAfter) {
    record_.index = index;
    record_.pipeName = pipeName;
}

TransferRecord IncomingTransfer::Receive(std::span<const std::uint8_t> early) {
    OpenStore();
    sink_.emplace(store_.get());
    TakeEarlyBytes(early);
    std::optional<std::string> outcome;
    while (!outcome) {
        outcome = ReceiveOnce();
    }
    return Finish(*outcome);
}

void IncomingTransfer::OpenStore() {
    if (options_.storeDir.empty()) {
        return;
    }
    record_.storedPath = options_.storeDir + "/transfer-" + std::to_string(record_.index) + ".bin";
    store_ = os::posix::Descriptor(open(record_.storedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!store_.valid()) {
        std::fprintf(stderr, "vantrel-sim: cannot store payload in %s: %s\n", record_.storedPath.c_str(),
                     std::strerror(errno));
    }
}

// The request line and the start of the stream may have come in one read;
// the limits were not looked at for those bytes, so trim them.
void IncomingTransfer::TakeEarlyBytes(std::span<const std::uint8_t> early) {
    if (early.empty()) {
        return;
    }
    StartClock();
    const std::uint64_t allowed = limit_ ? check_.BytesUntilPayload(*limit_) : early.size();
    sink_->Append(check_.Feed(early.first(static_cast<std::size_t>(std::min<std::uint64_t>(early.size(), allowed)))));
    throttle_->Took(early.size());
}

std::optional<std::string> IncomingTransfer::ReceiveOnce() {
    if (check_.refused()) {
        return StreamStateName(check_.state());
    }
    if (stopping_) {
        return "sim-stopped";
    }
    // The header is read apart, so that everything read into the sink is
    // payload and lands where it is hashed from, without a copy.
    const bool inHeader = check_.state() == StreamState::AwaitingHeader;
    std::optional<std::string> outcome;
    const std::span<std::uint8_t> into = NextSpace(inHeader, outcome);
    if (outcome || into.empty()) {
        return outcome;
    }
    const ssize_t got = recv(fd_, into.data(), into.size(), MSG_DONTWAIT);
    if (got > 0) {
        if (!firstByte_) {
            StartClock();
        }
        const std::size_t count = static_cast<std::size_t>(got);
        throttle_->Took(count);
        const std::span<const std::uint8_t> payload = check_.Feed(into.first(count));
        if (!inHeader) {
            sink_->Commit(payload.size());
        }
        return std::nullopt;
    }
    if (got == 0) {
        return check_.state() == StreamState::ReceivingPayload ? "complete" : StreamStateName(check_.state());
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        pollfd wait{fd_, POLLIN, 0};
        poll(&wait, 1, kStopCheckMs);
        return std::nullopt;
    }
    return "connection-error";
}

std::span<std::uint8_t> IncomingTransfer::NextSpace(bool inHeader, std::optional<std::string>& outcome) {
    std::span<std::uint8_t> into = inHeader
                                       ? std::span<std::uint8_t>(headerBuffer_, kHeaderPacketBytes - check_.headerBytes())
                                       : sink_->Space();
    if (limit_) {
        const std::uint64_t left = check_.BytesUntilPayload(*limit_);
        if (left == 0) {
            outcome = options_.dropAfter ? "dropped" : WaitForHangUp();
            return {};
        }
        into = into.first(static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), left)));
    }
    if (throttle_ && throttle_->limited()) {
        into = into.first(throttle_->Allowance(SteadyClock::now(), into.size()));
        if (into.empty()) {
            std::this_thread::sleep_for(
                std::min<std::chrono::nanoseconds>(throttle_->WaitTime(), std::chrono::milliseconds(kStopCheckMs)));
        }
    }
    return into;
}

// Pacing and timing start with the stream, not with the pipe request: the
// tool may take its time in between.
void IncomingTransfer::StartClock() {
    firstByte_ = SteadyClock::now();
    throttle_.emplace(options_.rate, *firstByte_);
}

std::string IncomingTransfer::WaitForHangUp() const {
    while (!stopping_) {
        // Not POLLIN: unread bytes are waiting, and they stay unread.
        pollfd wait{fd_, POLLRDHUP, 0};
        const int ready = poll(&wait, 1, kStopCheckMs);
        if (ready > 0 && (wait.revents & (POLLHUP | POLLRDHUP | POLLERR))) {
            return "stalled";
        }
    }
    return "sim-stopped";
}

TransferRecord IncomingTransfer::Finish(const std::string& outcome) {
    const auto lastByte = SteadyClock::now();
    const PayloadSink::Result sunk = sink_->Finish();
    record_.headerBytes = check_.headerBytes();
    record_.header = check_.header();
    record_.payloadBytes = check_.payloadBytes();
    record_.payloadSha256 = sunk.sha256;
    record_.outcome = outcome;
    record_.seconds = firstByte_ ? std::chrono::duration<double>(lastByte - *firstByte_).count() : 0.0;
    if (!record_.storedPath.empty() && !sunk.stored) {
        std::fprintf(stderr, "vantrel-sim: storing the payload of transfer %u failed\n", record_.index);
        record_.storedPath.clear();
    }
    return record_;
}

}  // namespace tarnwick::sim
