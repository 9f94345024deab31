#pragma once
// What the simulator remembers of one transfer, and how it tells of it: a
// summary line for people and a JSON report for tests and scripts.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/stream_check.h"

namespace tarnwick::sim {

struct TransferRecord {
    unsigned index = 0;  // 1 for the first transfer of this run
    std::string pipeName;
    std::size_t headerBytes = 0;
    HeaderPacket header;
    std::uint64_t payloadBytes = 0;
    std::string payloadSha256;
    // "complete" when the tool closed the pipe after a sound header;
    // otherwise why it was cut short: "short-header", "no-signature",
    // "uart-port", "dropped", "stalled", "connection-error", "sim-stopped".
    std::string outcome;
    double seconds = 0;
    std::string storedPath;  // empty when the payload was not stored

    bool complete() const { return outcome == "complete"; }
};

std::string SummaryLine(const TransferRecord& record);
// {"transfers": [...]} with every record in order.
std::string ReportJson(const std::vector<TransferRecord>& records);

}  // namespace tarnwick::sim
