// Arbitrary bytes on a simulator connection: a request line, then whatever
// follows it fed to the stream check in pieces whose sizes the input also
// picks. Any answer is fine; a crash, an overread or a broken count is not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "sim/request_line.h"
#include "sim/sim_protocol.h"
#include "sim/stream_check.h"

namespace {

using namespace tarnwick::sim;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckRequest(std::span<const std::uint8_t> bytes) {
    const Request request = ParseRequest(bytes);
    Require(request.length <= bytes.size() && request.length <= kMaxRequestLine);
    const bool hasLine = request.kind != RequestKind::Incomplete && request.kind != RequestKind::Invalid;
    Require(!hasLine || (request.length > 0 && bytes[request.length - 1] == '\n'));
    if (request.kind == RequestKind::Pipe) {
        Require(!request.pipeName.empty() && request.pipeName.find_first_of(" \n") == std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte sets the piece size; the rest is what the connection
    // carried.
    const std::size_t piece = 1 + data[0] % 64;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    CheckRequest(stream);
    StreamCheck pieces;
    std::uint64_t payloadSeen = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::span<const std::uint8_t> part = stream.subspan(at, std::min(piece, stream.size() - at));
        const std::span<const std::uint8_t> payload = pieces.Feed(part);
        Require(payload.empty() || (payload.data() >= part.data() &&
                                    payload.data() + payload.size() == part.data() + part.size()));
        payloadSeen += payload.size();
    }

    StreamCheck whole;
    whole.Feed(stream);
    Require(pieces.state() == whole.state());
    Require(pieces.headerBytes() == whole.headerBytes());
    Require(pieces.headerBytes() <= kHeaderPacketBytes);
    Require(pieces.payloadBytes() == payloadSeen && whole.payloadBytes() == payloadSeen);
    if (pieces.state() == StreamState::ReceivingPayload) {
        Require(payloadSeen == stream.size() - kHeaderPacketBytes);
    } else {
        Require(payloadSeen == 0);
    }
    return 0;
}
