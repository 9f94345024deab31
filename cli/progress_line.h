#pragma once
// What `tarnwick-cli flash` shows while a transfer runs: one line redrawn in
// place on a terminal, or a few plain lines when the output is a file or a
// pipe.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/transfer_worker.h"

namespace tarnwick::cli {

using Seconds = std::chrono::duration<double>;

// "512 B", "2.0 KiB", "64.0 MiB", "1.50 GiB".
std::string FormatBytes(std::uint64_t bytes);
// "0.421 s", "12.3 s", "2 min 05 s".
std::string FormatDuration(Seconds duration);

// " 42%  27.0 MiB of 64.0 MiB  12.3 MiB/s  3.1 s left". Speed and time left
// show as "--" until there is something to measure them by.
std::string ProgressLine(std::uint64_t sent, std::uint64_t payload, Seconds elapsed);

// The terminal line is redrawn at most this often.
inline constexpr std::chrono::milliseconds kRedrawInterval{100};

// Plain output: one line each time a quarter more has been sent (25, 50 and
// 75 %; the end line reports the rest).
class PlainProgress {
public:
    std::optional<std::string> Next(std::uint64_t sent, std::uint64_t payload, Seconds elapsed);

private:
    int quartersShown_ = 0;
};

// The one line that ends a transfer: how it ended (`stoppedBy` names what
// stopped one that was stopped), what was sent, how long it took, and the
// SHA-256 of the whole payload that was to be sent.
std::string SummaryLine(const TransferOutcome& outcome, Seconds elapsed, std::string_view payloadSha256,
                        std::string_view stoppedBy);

}  // namespace tarnwick::cli
