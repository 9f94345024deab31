#include "image/image_check.h"

#include <span>

namespace tarnwick {

std::string_view RefusalKey(ImageVerdict verdict) {
    switch (verdict) {
        case ImageVerdict::Sendable:
            return {};
        case ImageVerdict::CannotOpen:
            return "1020";
        case ImageVerdict::TooShort:
            return "1023";
        case ImageVerdict::NoSignature:
        case ImageVerdict::UartImage:
        case ImageVerdict::TooLarge:
            return "1022";
    }
    return {};
}

// The order decides which refusal a file gets: a short file is short
// whatever its first byte, and a UART image has its kind shown before it is
// refused. The size limit comes last, as it only matters for an image that
// would otherwise be sent.
ImageCheck CheckImageFile(os::FileReader& files, const std::string& path) {
    ImageCheck check;
    const os::FilePrefix prefix = files.ReadPrefix(path, kHeaderReadSize);
    check.fileSize = prefix.fileSize;
    if (prefix.status != os::FileStatus::Ok) {
        check.verdict = ImageVerdict::CannotOpen;
        return check;
    }
    if (prefix.bytes.size() < kHeaderReadSize) {
        check.verdict = ImageVerdict::TooShort;
        return check;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(prefix.bytes.data());
    check.header = DecodeImageHeader(std::span<const std::uint8_t, kHeaderReadSize>(first, kHeaderReadSize));
    if (!check.header) {
        check.verdict = ImageVerdict::NoSignature;
        return check;
    }
    check.status = ImageStatusKey(*check.header);
    if (!IsUsbImage(*check.header)) {
        check.verdict = ImageVerdict::UartImage;
        return check;
    }
    check.verdict = check.fileSize >= kImageSizeLimit ? ImageVerdict::TooLarge : ImageVerdict::Sendable;
    return check;
}

}  // namespace tarnwick
