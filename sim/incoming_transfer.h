#pragma once
// One transfer as the device receives it on one connection: the header
// packet, then the payload until the tool closes, paced, limited and
// checked as the options say, ending in the record of what came.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/posix/descriptor.h"
#include "sim/payload_sink.h"
#include "sim/server.h"
#include "sim/stream_check.h"
#include "sim/throttle.h"
#include "sim/transfer_record.h"

namespace tarnwick::sim {

class IncomingTransfer {
public:
    // `stopping` is watched while waiting, so that a simulator asked to
    // stop does not wait for a quiet connection.
    IncomingTransfer(const ServeOptions& options, const std::atomic<bool>& stopping, int fd, unsigned index,
                     const std::string& pipeName);

    // Receives until the transfer ends; `early` is what arrived with the
    // pipe request.
    TransferRecord Receive(std::span<const std::uint8_t> early);

private:
    using SteadyClock = std::chrono::steady_clock;

    void OpenStore();
    void TakeEarlyBytes(std::span<const std::uint8_t> early);
    // The outcome once the stream has ended; nullopt while it goes on.
    std::optional<std::string> ReceiveOnce();
    // Where the next bytes go, cut to the stall or drop limit and to the
    // pace; nullopt with `outcome` set when the limit has been reached.
    std::span<std::uint8_t> NextSpace(bool inHeader, std::optional<std::string>& outcome);
    void StartClock();
    std::string WaitForHangUp() const;
    TransferRecord Finish(const std::string& outcome);

    const ServeOptions& options_;
    const std::atomic<bool>& stopping_;
    const int fd_;
    TransferRecord record_;
    os::posix::Descriptor store_;
    StreamCheck check_;
    std::optional<PayloadSink> sink_;
    const std::optional<std::uint64_t> limit_;
    std::optional<SteadyClock::time_point> firstByte_;
    std::optional<Throttle> throttle_;
    std::uint8_t headerBuffer_[kHeaderPacketBytes] = {};
};

}  // namespace tarnwick::sim
