#include "cli/progress_line.h"

#include <cmath>
#include <cstdio>


namespace tarnwick::cli {
namespace {

std::string_view FailureText(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::ImageTooSmall:
            return "the image was shorter than 1028 bytes";
        case TransferFailure::HeaderNotTaken:
            return "the device did not take the header packet";
        case TransferFailure::PieceNotTaken:
            return "the device refused a piece 3002 times";
        case TransferFailure::Stalled:
            return "the device took nothing for 60 s";
        case TransferFailure::PipeBroken:
            return "the device went away (its pipe broke, or the handle is unusable)";
        case TransferFailure::WriteStuck:
            return "the device held a write that could not be ended; it may take more bytes than were counted";
        case TransferFailure::NoWriter:
            return "no thread could be set up to write to the device";
        case TransferFailure::NotLoaded:
            return "the image could not be loaded as it was checked";
        case TransferFailure::None:
            break;
    }
    return "the transfer failed";
}

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string FormatBytes(std::uint64_t bytes) {
    constexpr double kKiB = 1024.0;
    const double value = static_cast<double>(bytes);
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    if (value < kKiB * kKiB) {
        return Printed("%.1f KiB", value / kKiB);
    }
    if (value < kKiB * kKiB * kKiB) {
        return Printed("%.1f MiB", value / (kKiB * kKiB));
    }
    return Printed("%.2f GiB", value / (kKiB * kKiB * kKiB));
}

std::string FormatDuration(Seconds duration) {
    const double seconds = std::max(0.0, duration.count());
    if (seconds < 10.0) {
        return Printed("%.3f s", seconds);
    }
    if (seconds < 60.0) {
        return Printed("%.1f s", seconds);
    }
    const auto whole = static_cast<long long>(std::llround(seconds));
    char text[64];
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
    return text;
}

std::string ProgressLine(std::uint64_t sent, std::uint64_t payload, Seconds elapsed) {
    std::string line = Printed("%3.0f%%", ProgressPosition(sent, payload));
    line += "  " + FormatBytes(sent) + " of " + FormatBytes(payload);
    const double seconds = elapsed.count();
    if (sent == 0 || seconds <= 0.0) {
        return line + "  -- /s  -- left";
    }
    const double perSecond = static_cast<double>(sent) / seconds;
    line += "  " + FormatBytes(static_cast<std::uint64_t>(perSecond)) + "/s";
    const double left = static_cast<double>(payload > sent ? payload - sent : 0) / perSecond;
    return line + "  " + FormatDuration(Seconds(left)) + " left";
}

std::optional<std::string> PlainProgress::Next(std::uint64_t sent, std::uint64_t payload,
                                               Seconds elapsed) {
    const int quarters = ProgressPosition(sent, payload) / 25;
    if (quarters <= quartersShown_ || quarters >= 4) {
        return std::nullopt;
    }
    quartersShown_ = quarters;
    return "sent " + std::to_string(quarters * 25) + "% (" + FormatBytes(sent) + " of " +
           FormatBytes(payload) + ") in " + FormatDuration(elapsed);
}

}  // namespace tarnwick::cli

namespace tarnwick::cli {

std::string SummaryLine(const TransferOutcome& outcome, Seconds elapsed, std::string_view payloadSha256,
                        std::string_view stoppedBy) {
    std::string line;
    switch (outcome.result) {
        case TransferResult::Complete:
            line = "complete";
            break;
        case TransferResult::Stopped:
            line = "STOPPED by " + std::string(stoppedBy);
            break;
        case TransferResult::Failed:
            line = "FAILED: " + std::string(FailureText(outcome.failure));
            break;
    }
    // "Sent" is what the device pipe accepted; a pipe reports no more, and
    // the device confirms nothing.
    line += ": sent " + std::to_string(outcome.sent) + " of " + std::to_string(outcome.payload) +
            " payload bytes (" + FormatBytes(outcome.sent) + " accepted by the device pipe) in " +
            FormatDuration(elapsed);
    if (outcome.result == TransferResult::Complete && elapsed.count() > 0.0) {
        line += " (" + FormatBytes(static_cast<std::uint64_t>(static_cast<double>(outcome.sent) / elapsed.count())) + "/s)";
    }
    line += ", payload SHA-256 " + std::string(payloadSha256);
    if (outcome.result != TransferResult::Complete) {
        line += "; the device may not work until an image is sent completely";
    }
    return line;
}

}  // namespace tarnwick::cli
