#include "image/image_header.h"

#include <algorithm>

namespace tarnwick {
namespace {

constexpr std::size_t kStatusTextLimit = 259;

std::uint32_t LittleEndian32(std::span<const std::uint8_t, kHeaderReadSize> bytes,
                             std::size_t offset) {
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
           std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

// The looked-up text as the C string a "%s" conversion would see.
std::string_view UpToTerminator(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

PortKind PortKindOf(const ImageHeader& header) {
    return header.port == 0 ? PortKind::Uart : PortKind::Usb;
}

bool IsUsbImage(const ImageHeader& header) { return PortKindOf(header) == PortKind::Usb; }

bool IsDated(const ImageHeader& header) {
    return header.flashType == static_cast<std::uint8_t>(FlashType::Serial) &&
           ((header.startAddress >> 16) & 0xff) != 0;
}

std::uint32_t StartByteAddress(const ImageHeader& header) {
    if (header.flashType == static_cast<std::uint8_t>(FlashType::Nand)) {
        return header.startAddress << 9;
    }
    return header.startAddress;
}

std::string FlashTypeName(std::uint8_t flashType) {
    switch (flashType) {
        case static_cast<std::uint8_t>(FlashType::EFlash):
            return "e-flash";
        case static_cast<std::uint8_t>(FlashType::Serial):
            return "serial";
        case static_cast<std::uint8_t>(FlashType::Nand):
            return "nand";
        default:
            return "none (" + std::to_string(flashType) + ")";
    }
}

std::optional<ImageHeader> DecodeImageHeader(std::span<const std::uint8_t, kHeaderReadSize> bytes) {
    if (bytes[0] != kImageSignature) {
        return std::nullopt;
    }
    ImageHeader header;
    header.signature = bytes[0];
    header.port = bytes[1];
    header.flashType = bytes[2];
    header.startAddress = LittleEndian32(bytes, 3);
    header.fileSize = static_cast<std::int32_t>(LittleEndian32(bytes, 7));
    header.packetCount = static_cast<std::int32_t>(LittleEndian32(bytes, 11));
    header.dateFirst = static_cast<std::int8_t>(bytes[kHeaderAreaSize]);
    header.dateSecond = static_cast<std::int8_t>(bytes[kHeaderAreaSize + 2]);
    header.dateYear = static_cast<std::int8_t>(bytes[kHeaderAreaSize + 3]);
    return header;
}

std::optional<ImageStatus> ImageStatusKey(const ImageHeader& header) {
    switch (header.flashType) {
        case static_cast<std::uint8_t>(FlashType::EFlash):
            return ImageStatus{.key = "1027"};
        case static_cast<std::uint8_t>(FlashType::Serial):
            if (!IsDated(header)) {
                return ImageStatus{.key = "1028"};
            }
            return ImageStatus{.key = "1029",
                               .withDate = true,
                               .dateFirst = header.dateFirst,
                               .dateSecond = header.dateSecond,
                               .year = 2000 + header.dateYear};
        default:
            return std::nullopt;
    }
}

std::string DateText(const ImageStatus& status) {
    return std::to_string(status.dateFirst) + "/" + std::to_string(status.dateSecond) + "/" +
           std::to_string(status.year);
}

std::string ComposeImageStatusText(std::string_view lookedUpText, const ImageStatus& status) {
    std::string text(UpToTerminator(lookedUpText));
    if (status.withDate) {
        text += ' ';
        text += DateText(status);
    }
    if (text.size() > kStatusTextLimit) {
        text.resize(kStatusTextLimit);
    }
    return text;
}

}  // namespace tarnwick
