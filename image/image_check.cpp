#include "image/image_check.h"

#include <algorithm>

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
ImageCheck CheckImageBytes(std::span<const std::uint8_t> prefix, std::uint64_t fileSize) {
    ImageCheck check;
    check.fileSize = fileSize;
    check.prefix.assign(prefix.begin(), prefix.end());
    if (prefix.size() < kHeaderReadSize) {
        check.verdict = ImageVerdict::TooShort;
        return check;
    }
    check.header = DecodeImageHeader(prefix.first<kHeaderReadSize>());
    if (!check.header) {
        check.verdict = ImageVerdict::NoSignature;
        return check;
    }
    check.status = ImageStatusKey(*check.header);
    if (!IsUsbImage(*check.header)) {
        check.verdict = ImageVerdict::UartImage;
        return check;
    }
    check.verdict = fileSize >= kImageSizeLimit ? ImageVerdict::TooLarge : ImageVerdict::Sendable;
    return check;
}

ImageCheck CheckImageFile(os::FileReader& files, const std::string& path) {
    const os::FilePrefix prefix = files.ReadPrefix(path, kHeaderReadSize);
    if (prefix.status != os::FileStatus::Ok) {
        ImageCheck check;
        check.fileSize = prefix.fileSize;
        check.verdict = ImageVerdict::CannotOpen;
        return check;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(prefix.bytes.data());
    return CheckImageBytes({first, prefix.bytes.size()}, prefix.fileSize);
}

bool IsFileChecked(const ImageCheck& checked, std::span<const std::uint8_t> loaded) {
    const ImageCheck again = CheckImageBytes(loaded.first(std::min<std::size_t>(loaded.size(), kHeaderReadSize)),
                                             loaded.size());
    return again.verdict == ImageVerdict::Sendable && checked.verdict == ImageVerdict::Sendable &&
           loaded.size() == checked.fileSize && again.prefix == checked.prefix;
}

}  // namespace tarnwick
