#pragma once
// The checks that decide whether a file may be sent at all, before the
// device is looked at. The window, `tarnwick-cli info` and `flash` share
// them, in this order: open, length, signature, kind, port.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/image_header.h"
#include "image/refusal.h"
#include "platform/system.h"

namespace tarnwick {

// An image is held in memory whole and counted in 32 bits.
inline constexpr std::uint64_t kImageSizeLimit = std::uint64_t{1} << 32;

struct ImageCheck {
    // Nothing when the file may be sent; else CannotOpen, TooShort,
    // NoSignature, UartImage or TooLarge.
    std::optional<Refusal> refusal = Refusal::CannotOpen;
    std::optional<ImageHeader> header;   // set once the signature was found
    std::optional<ImageStatus> status;   // the kind line, when the type has one
    std::uint64_t fileSize = 0;          // the real size, when it could be asked
    std::string prefix;                  // the first bytes, as they were read
};

ImageCheck CheckImageFile(os::FileReader& files, const std::string& path);

// The same checks, in the same order, on bytes already read: `prefix` is
// the file's first bytes (up to 1028) and `fileSize` its whole size.
ImageCheck CheckImageBytes(std::span<const std::uint8_t> prefix, std::uint64_t fileSize);

// Whether a loaded file is still the one `checked` described: the same
// checks pass on its first 1028 bytes, those bytes are the ones checked,
// and it has the size that was checked. A file replaced or rewritten
// between the check and the load fails this.
bool IsFileChecked(const ImageCheck& checked, std::span<const std::uint8_t> loaded);

}  // namespace tarnwick
