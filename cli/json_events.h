#pragma once
// The events `flash --json` and `station --json` print: one JSON object per
// line on standard output, each named by its "event" field. README shows
// one line of each.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/transfer_worker.h"
#include "image/upgrade_command.h"

namespace tarnwick::cli {

// The checked image; `sha256` is the whole file's when it was taken before
// the device was touched, else empty (and null in the event).
std::string ImageEvent(const ImageFacts& facts, const std::optional<ImageStatus>& status, const std::string& sha256);
// Waiting for a device to be attached ("device") or removed ("removal").
std::string WaitingEvent(std::string_view what, std::optional<std::uint64_t> unit);
std::string StartEvent(std::uint64_t payload, std::optional<std::uint64_t> unit);
std::string ProgressEvent(std::uint64_t sent, std::uint64_t payload);
// The outcome as the history records it, and the payload's SHA-256.
std::string EndEvent(const TransferOutcome& outcome, double seconds, const std::string& payloadSha256,
                     std::optional<std::uint64_t> unit);
std::string UnitEvent(std::uint64_t unit, const TransferOutcome& outcome, double seconds);
std::string TallyEvent(std::uint64_t complete, std::uint64_t failed);
// Why the command ended without a transfer's end: its exit status, the
// text key where the window would show one, and the message.
std::string ErrorEvent(int status, std::optional<std::string_view> key, const std::string& message);

}  // namespace tarnwick::cli
