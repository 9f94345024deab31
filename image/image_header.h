#pragma once
// The layout of a .rad image: a 1024-byte header area, then the payload.
// Only the first 1028 bytes are ever decoded.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::size_t kHeaderReadSize = 1028;   // header area + 4 payload bytes
inline constexpr std::size_t kHeaderAreaSize = 1024;   // the payload starts here
inline constexpr std::size_t kHeaderPacketSize = 20;   // bytes 0..19 go to the device
inline constexpr std::uint8_t kImageSignature = 0x24;  // '$'

enum class PortKind : std::uint8_t { Uart = 0, Usb = 1 };

// Held as the raw byte: values other than these three are legal.
enum class FlashType : std::uint8_t { EFlash = 1, Serial = 2, Nand = 3 };

struct ImageHeader {
    std::uint8_t signature = 0;
    std::uint8_t port = 0;         // 0 is UART, anything else USB
    std::uint8_t flashType = 0;    // raw FlashType byte
    std::uint32_t startAddress = 0;  // as stored, not scaled for NAND
    std::int32_t fileSize = 0;
    std::int32_t packetCount = 0;
    std::int8_t dateFirst = 0;
    std::int8_t dateSecond = 0;
    std::int8_t dateYear = 0;      // years after 2000
};

PortKind PortKindOf(const ImageHeader& header);
bool IsUsbImage(const ImageHeader& header);
bool IsDated(const ImageHeader& header);
// The address where the device places the payload, in bytes: NAND images
// count 512-byte units, shifted within 32 bits.
std::uint32_t StartByteAddress(const ImageHeader& header);
// "e-flash", "serial", "nand", or "none (N)" for the other values.
std::string FlashTypeName(std::uint8_t flashType);

// No-image (nullopt) when the signature is not '$'.
std::optional<ImageHeader> DecodeImageHeader(std::span<const std::uint8_t, kHeaderReadSize> bytes);

// The status line for an image: the text key in section "message", and for
// a dated image the date to show behind it.
struct ImageStatus {
    std::string_view key;  // "1027", "1028" or "1029"
    bool withDate = false;
    int dateFirst = 0;
    int dateSecond = 0;
    int year = 0;  // 2000 + dateYear
};

std::optional<ImageStatus> ImageStatusKey(const ImageHeader& header);

// Composes the text of the image line from the looked-up text. The looked-up
// text is data, never a format. The result holds at most 259 characters.
std::string ComposeImageStatusText(std::string_view lookedUpText, const ImageStatus& status);

// A dated image's date as every front end writes it: "first/second/year",
// for instance "24/12/2025".
std::string DateText(const ImageStatus& status);

}  // namespace tarnwick
