#include "sim/request_line.h"

#include <algorithm>
#include <string_view>

#include "sim/sim_protocol.h"

namespace tarnwick::sim {
namespace {

bool IsPipeNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Request ParseRequest(std::span<const std::uint8_t> received) {
    Request request;
    const std::size_t window = std::min(received.size(), kMaxRequestLine);
    const auto end = std::find(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(window),
                               std::uint8_t{'\n'});
    if (end == received.begin() + static_cast<std::ptrdiff_t>(window)) {
        request.kind = window == kMaxRequestLine ? RequestKind::Invalid : RequestKind::Incomplete;
        return request;
    }
    request.length = static_cast<std::size_t>(end - received.begin()) + 1;
    const std::string_view line(reinterpret_cast<const char*>(received.data()), request.length);

    if (line == kProbeRequest) {
        request.kind = RequestKind::Probe;
    } else if (line == kAttachRequest) {
        request.kind = RequestKind::Attach;
    } else if (line == kDetachRequest) {
        request.kind = RequestKind::Detach;
    } else if (line == kStatusRequest) {
        request.kind = RequestKind::Status;
    } else if (line.starts_with(kPipeRequestPrefix)) {
        const std::string_view name =
            line.substr(std::string_view(kPipeRequestPrefix).size(),
                        line.size() - std::string_view(kPipeRequestPrefix).size() - 1);
        const bool wellFormed = !name.empty() && std::all_of(name.begin(), name.end(), IsPipeNameCharacter);
        request.kind = wellFormed ? RequestKind::Pipe : RequestKind::Invalid;
        if (wellFormed) {
            request.pipeName = std::string(name);
        }
    } else {
        request.kind = RequestKind::Invalid;
    }
    return request;
}

}  // namespace tarnwick::sim
