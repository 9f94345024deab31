#include "sim/stream_check.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::sim {
namespace {

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::span<const std::uint8_t> StreamCheck::Feed(std::span<const std::uint8_t> bytes) {
    if (refused()) {
        return {};
    }
    if (state_ == StreamState::AwaitingHeader) {
        const std::size_t take = std::min(bytes.size(), kHeaderPacketBytes - headerBytes_);
        std::memcpy(header_.raw.data() + headerBytes_, bytes.data(), take);
        headerBytes_ += take;
        bytes = bytes.subspan(take);
        if (headerBytes_ < kHeaderPacketBytes) {
            return {};
        }
        JudgeHeader();
        if (refused()) {
            return {};
        }
    }
    payloadBytes_ += bytes.size();
    return bytes;
}

std::uint64_t StreamCheck::BytesUntilPayload(std::uint64_t payloadLimit) const {
    const std::uint64_t headerMissing = kHeaderPacketBytes - headerBytes_;
    return headerMissing + (payloadLimit > payloadBytes_ ? payloadLimit - payloadBytes_ : 0);
}

void StreamCheck::JudgeHeader() {
    const std::uint8_t* raw = header_.raw.data();
    header_.signature = raw[0];
    header_.port = raw[1];
    header_.flashType = raw[2];
    header_.startAddress = LittleEndian32(raw + 3);
    header_.fileSize = static_cast<std::int32_t>(LittleEndian32(raw + 7));
    header_.packetCount = static_cast<std::int32_t>(LittleEndian32(raw + 11));
    if (header_.signature != '$') {
        state_ = StreamState::NoSignature;
    } else if (header_.port == 0) {
        state_ = StreamState::UartPort;
    } else {
        state_ = StreamState::ReceivingPayload;
    }
}

const char* StreamStateName(StreamState state) {
    switch (state) {
        case StreamState::AwaitingHeader:
            return "short-header";
        case StreamState::ReceivingPayload:
            return "payload";
        case StreamState::NoSignature:
            return "no-signature";
        case StreamState::UartPort:
            return "uart-port";
    }
    return "unknown";
}

}  // namespace tarnwick::sim
