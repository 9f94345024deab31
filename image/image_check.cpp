#include "image/image_check.h"

#include <algorithm>

namespace tarnwick {

// The order decides which refusal a file gets: a short file is short
// whatever its first byte, and a UART image has its kind shown before it is
// refused. The size limit comes last, as it only matters for an image that
// would otherwise be sent.
ImageCheck CheckImageBytes(std::span<const std::uint8_t> prefix, std::uint64_t fileSize) {
    ImageCheck check;
    check.fileSize = fileSize;
    check.prefix.assign(prefix.begin(), prefix.end());
    if (prefix.size() < kHeaderReadSize) {
        check.refusal = Refusal::TooShort;
        return check;
    }
    check.header = DecodeImageHeader(prefix.first<kHeaderReadSize>());
    if (!check.header) {
        check.refusal = Refusal::NoSignature;
        return check;
    }
    check.status = ImageStatusKey(*check.header);
    if (!IsUsbImage(*check.header)) {
        check.refusal = Refusal::UartImage;
        return check;
    }
    check.refusal = fileSize >= kImageSizeLimit ? std::optional(Refusal::TooLarge) : std::nullopt;
    return check;
}

ImageCheck CheckImageFile(os::FileReader& files, const std::string& path) {
    const os::FilePrefix prefix = files.ReadPrefix(path, kHeaderReadSize);
    if (prefix.status != os::FileStatus::Ok) {
        ImageCheck check;
        check.fileSize = prefix.fileSize;
        check.refusal = Refusal::CannotOpen;
        return check;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(prefix.bytes.data());
    return CheckImageBytes({first, prefix.bytes.size()}, prefix.fileSize);
}

bool IsFileChecked(const ImageCheck& checked, std::span<const std::uint8_t> loaded) {
    const ImageCheck again = CheckImageBytes(loaded.first(std::min<std::size_t>(loaded.size(), kHeaderReadSize)),
                                             loaded.size());
    return !again.refusal && !checked.refusal &&
           loaded.size() == checked.fileSize && again.prefix == checked.prefix;
}

}  // namespace tarnwick
