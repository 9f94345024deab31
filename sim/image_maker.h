#pragma once
// Writes .rad images for demos and tests: sound ones of every kind, and
// broken ones. The payload is a pure function of the seed, so a test can
// make the same image twice and know every byte of it.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::sim {

struct ImageDate {
    std::int8_t first = 0;
    std::int8_t second = 0;
    std::int8_t year = 0;  // years after 2000
};

struct ImageSpec {
    std::uint8_t port = 1;       // 0 is UART
    std::uint8_t flashType = 1;  // 1 e-flash, 2 serial, 3 NAND, or any other value
    std::uint32_t startAddress = 0;
    std::optional<ImageDate> date = std::nullopt;  // written into the first payload bytes; marks a serial image dated
    std::uint64_t payloadBytes = 65536;
    std::uint64_t seed = 1;
    bool noSignature = false;  // '#' instead of '$'
    bool shortFile = false;    // cut to 1027 bytes, one short of a readable header
};

struct MadeImage {
    bool ok = false;
    std::string error;
    std::uint64_t fileBytes = 0;
    std::uint64_t payloadBytes = 0;  // what a device would receive after the header packet
    std::string payloadSha256;
};

MadeImage MakeImage(const std::string& path, const ImageSpec& spec);

// "D/M/YY" with each number a signed 8-bit value; nullopt when malformed.
std::optional<ImageDate> ParseImageDate(const std::string& text);

}  // namespace tarnwick::sim
