#pragma once
// Checks the image stream the tool sends on a pipe: a 20-byte header packet
// ('$' signature, a USB port), then the payload until the tool closes.
//
// This is deliberately the simulator's own reading of the bytes, not the
// tool's decoder, so that it checks the tool instead of agreeing with it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::sim {

inline constexpr std::size_t kHeaderPacketBytes = 20;

struct HeaderPacket {
    std::array<std::uint8_t, kHeaderPacketBytes> raw{};
    std::uint8_t signature = 0;
    std::uint8_t port = 0;
    std::uint8_t flashType = 0;
    std::uint32_t startAddress = 0;
    std::int32_t fileSize = 0;
    std::int32_t packetCount = 0;
};

enum class StreamState {
    AwaitingHeader,    // fewer than 20 bytes so far
    ReceivingPayload,  // the header was sound; everything further is payload
    NoSignature,       // the first byte is not '$': refused
    UartPort,          // port byte 0: not an image for this cable
};

class StreamCheck {
public:
    // Takes the next bytes from the pipe and gives the part of them that is
    // payload, always their tail (empty while the header is still coming,
    // and once the stream has been refused, since a refused stream takes
    // nothing further).
    std::span<const std::uint8_t> Feed(std::span<const std::uint8_t> bytes);

    StreamState state() const { return state_; }
    bool refused() const { return state_ == StreamState::NoSignature || state_ == StreamState::UartPort; }
    std::size_t headerBytes() const { return headerBytes_; }
    const HeaderPacket& header() const { return header_; }
    std::uint64_t payloadBytes() const { return payloadBytes_; }
    // Bytes until `payloadLimit` payload bytes have come: header bytes still
    // missing plus the payload still allowed.
    std::uint64_t BytesUntilPayload(std::uint64_t payloadLimit) const;

private:
    void JudgeHeader();

    StreamState state_ = StreamState::AwaitingHeader;
    HeaderPacket header_;
    std::size_t headerBytes_ = 0;
    std::uint64_t payloadBytes_ = 0;
};

// Text for a state, as it appears in reports.
const char* StreamStateName(StreamState state);

}  // namespace tarnwick::sim
