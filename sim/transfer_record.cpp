#include "sim/transfer_record.h"

#include <cstdio>

#include "support/json_text.h"
#include "support/sha256.h"

namespace tarnwick::sim {
namespace {


std::string Hex(std::span<const std::uint8_t> bytes) { return Sha256::HexOf(bytes); }

const char* FlashName(std::uint8_t flashType) {
    switch (flashType) {
        case 1:
            return "e-flash";
        case 2:
            return "serial";
        case 3:
            return "nand";
        default:
            return "other";
    }
}

double MegabytesPerSecond(const TransferRecord& record) {
    return record.seconds > 0 ? static_cast<double>(record.payloadBytes) / record.seconds / 1e6 : 0.0;
}

}  // namespace

std::string SummaryLine(const TransferRecord& record) {
    char header[160];
    if (record.headerBytes < kHeaderPacketBytes) {
        std::snprintf(header, sizeof header, "header cut off after %zu of 20 bytes", record.headerBytes);
    } else {
        const HeaderPacket& h = record.header;
        std::snprintf(header, sizeof header,
                      "signature 0x%02x port 0x%02x flash 0x%02x (%s) start 0x%08x size %d packets %d",
                      h.signature, h.port, h.flashType, FlashName(h.flashType), h.startAddress,
                      h.fileSize, h.packetCount);
    }
    char line[512];
    std::snprintf(line, sizeof line,
                  "transfer %u %s: %s; %s; payload %llu bytes sha256 %s; %.3f s (%.2f MB/s)",
                  record.index, record.pipeName.c_str(), record.outcome.c_str(), header,
                  static_cast<unsigned long long>(record.payloadBytes), record.payloadSha256.c_str(),
                  record.seconds, MegabytesPerSecond(record));
    return line;
}

std::string ReportJson(const std::vector<TransferRecord>& records) {
    std::string json = "{\n  \"transfers\": [";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TransferRecord& r = records[i];
        const HeaderPacket& h = r.header;
        json += i == 0 ? "\n" : ",\n";
        json += "    {\"index\": " + std::to_string(r.index);
        json += ", \"pipe\": " + JsonString(r.pipeName);
        json += ", \"outcome\": " + JsonString(r.outcome);
        json += std::string(", \"complete\": ") + (r.complete() ? "true" : "false");
        json += ", \"headerBytes\": " + std::to_string(r.headerBytes);
        json += ", \"header\": {\"hex\": " +
                JsonString(Hex(std::span(h.raw.data(), r.headerBytes)));
        if (r.headerBytes == kHeaderPacketBytes) {
            json += ", \"signature\": " + std::to_string(h.signature);
            json += ", \"port\": " + std::to_string(h.port);
            json += ", \"flashType\": " + std::to_string(h.flashType);
            json += ", \"startAddress\": " + std::to_string(h.startAddress);
            json += ", \"fileSize\": " + std::to_string(h.fileSize);
            json += ", \"packetCount\": " + std::to_string(h.packetCount);
            json += ", \"trailerHex\": " + JsonString(Hex(std::span(h.raw.data() + 15, 5)));
        }
        json += "}";
        json += ", \"payloadBytes\": " + std::to_string(r.payloadBytes);
        json += ", \"payloadSha256\": " + JsonString(r.payloadSha256);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.6f", r.seconds);
        json += std::string(", \"seconds\": ") + seconds;
        json += ", \"stored\": " + JsonString(r.storedPath);
        json += "}";
    }
    json += records.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

}  // namespace tarnwick::sim
