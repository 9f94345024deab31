// Any bytes as the start of an image file: the checks, the decoder and the
// status text must give a verdict without reading outside what they were
// given, and the status text must stay within its bound.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "image/image_check.h"
#include "image/image_header.h"

namespace {

// Serves the fuzzer's bytes as the only file there is.
class BytesAsFile final : public tarnwick::os::FileReader {
public:
    BytesAsFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    tarnwick::os::FilePrefix ReadPrefix(const std::string&, std::size_t count) override {
        const std::size_t given = std::min(count, size_);
        return {tarnwick::os::FileStatus::Ok, std::string(reinterpret_cast<const char*>(data_), given), size_};
    }
    tarnwick::os::LoadedFile LoadWhole(const std::string&, std::uint64_t) override { return {}; }
    std::optional<std::string> ReadText(const std::string&, std::size_t) override { return std::nullopt; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    BytesAsFile file(data, size);
    const ImageCheck check = CheckImageFile(file, "image.rad");
    Require((check.refusal == Refusal::TooShort) == (size < kHeaderReadSize));
    if (size < kHeaderReadSize) {
        return 0;
    }
    Require(check.header.has_value() == (data[0] == kImageSignature));
    if (!check.header) {
        return 0;
    }
    const ImageHeader& header = *check.header;
    Require((check.refusal == Refusal::UartImage) == (header.port == 0));
    StartByteAddress(header);
    Require(!FlashTypeName(header.flashType).empty());
    if (check.status) {
        // Whatever follows the header plays the looked-up text.
        const std::string_view text(reinterpret_cast<const char*>(data) + kHeaderReadSize, size - kHeaderReadSize);
        Require(ComposeImageStatusText(text, *check.status).size() <= 259);
    }
    return 0;
}
