#include "image/image_check.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/image/image_bytes.h"

namespace tarnwick {
namespace {

using testing::ImageBytes;

// Hands out prepared prefixes and remembers what was asked for.
class FakeFiles final : public os::FileReader {
public:
    std::map<std::string, os::FilePrefix> prefixes;
    std::size_t askedCount = 0;
    int reads = 0;

    os::FilePrefix ReadPrefix(const std::string& path, std::size_t count) override {
        ++reads;
        askedCount = count;
        const auto found = prefixes.find(path);
        if (found == prefixes.end()) {
            return {};
        }
        os::FilePrefix prefix = found->second;
        if (prefix.bytes.size() > count) {
            prefix.bytes.resize(count);
        }
        return prefix;
    }
    os::LoadedFile LoadWhole(const std::string&, std::uint64_t) override { return {}; }
    std::optional<std::string> ReadText(const std::string&, std::size_t) override { return std::nullopt; }

    void Put(const std::string& path, std::string bytes, std::uint64_t size) {
        prefixes[path] = os::FilePrefix{os::FileStatus::Ok, std::move(bytes), size};
    }
    void Put(const std::string& path, const ImageBytes& image, std::uint64_t size = kHeaderReadSize) {
        Put(path, image.AsString(), size);
    }
};

class CheckImageFileTest : public ::testing::Test {
protected:
    ImageCheck Check(const std::string& path) { return CheckImageFile(files, path); }
    FakeFiles files;
};

TEST_F(CheckImageFileTest, ReadsOnePrefixOfExactlyTheHeaderReadSize) {
    files.Put("a.rad", ImageBytes().Port(1).Flash(1), 5000);
    const ImageCheck check = Check("a.rad");
    EXPECT_EQ(files.reads, 1);
    EXPECT_EQ(files.askedCount, 1028u);
    EXPECT_EQ(check.refusal, std::nullopt);
    EXPECT_EQ(check.fileSize, 5000u);
    ASSERT_TRUE(check.header.has_value());
    ASSERT_TRUE(check.status.has_value());
    EXPECT_EQ(check.status->key, "1027");
}

TEST_F(CheckImageFileTest, FilesThatCannotBeOpenedOrReadAreCannotOpen) {
    files.prefixes["read-error"] = os::FilePrefix{os::FileStatus::ReadError, {}, 4096};
    const ImageCheck readError = Check("read-error");
    EXPECT_EQ(readError.refusal, Refusal::CannotOpen);
    EXPECT_EQ(readError.fileSize, 4096u);
    EXPECT_FALSE(readError.header.has_value());

    EXPECT_EQ(Check("missing").refusal, Refusal::CannotOpen);
}

TEST_F(CheckImageFileTest, LengthIsJudgedBeforeTheSignature) {
    const std::string valid = ImageBytes().Port(1).Flash(1).AsString();
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{1024}, std::size_t{1027}}) {
        files.Put("short", valid.substr(0, length), length);
        const ImageCheck check = Check("short");
        EXPECT_EQ(check.refusal, Refusal::TooShort) << length;
        EXPECT_FALSE(check.header.has_value());
    }
    files.Put("short-garbage", std::string(1027, '#'), 1027);
    EXPECT_EQ(Check("short-garbage").refusal, Refusal::TooShort);
}

TEST_F(CheckImageFileTest, ExactlyTheHeaderReadSizeIsEnough) {
    files.Put("exact", ImageBytes().Port(1).Flash(4));
    const ImageCheck check = Check("exact");
    EXPECT_EQ(check.refusal, std::nullopt);
    EXPECT_FALSE(check.status.has_value());
}

TEST_F(CheckImageFileTest, WrongSignatureIsRefusedWithoutAHeader) {
    files.Put("hash", ImageBytes().Signature('#').Port(1).Flash(1));
    const ImageCheck check = Check("hash");
    EXPECT_EQ(check.refusal, Refusal::NoSignature);
    EXPECT_FALSE(check.header.has_value());
    EXPECT_FALSE(check.status.has_value());
}

TEST_F(CheckImageFileTest, UartImagesKeepTheirKindButAreRefused) {
    files.Put("uart", ImageBytes().Port(0).Flash(2).StartAddressBytes(0, 0, 1, 0).Date(5, 7, 11));
    const ImageCheck check = Check("uart");
    EXPECT_EQ(check.refusal, Refusal::UartImage);
    ASSERT_TRUE(check.status.has_value());
    EXPECT_EQ(check.status->key, "1029");
    EXPECT_EQ(check.status->year, 2011);
}

TEST_F(CheckImageFileTest, FourGibibytesOrMoreIsTooLarge) {
    const ImageBytes usb = ImageBytes().Port(1).Flash(1);
    files.Put("limit", usb, kImageSizeLimit);
    EXPECT_EQ(Check("limit").refusal, Refusal::TooLarge);
    files.Put("huge", usb, kImageSizeLimit * 3);
    EXPECT_EQ(Check("huge").refusal, Refusal::TooLarge);
    files.Put("below", usb, kImageSizeLimit - 1);
    EXPECT_EQ(Check("below").refusal, std::nullopt);
}

TEST(RefusalMessageKey, EachRefusalHasItsMessage) {
    EXPECT_EQ(RefusalMessageKey(Refusal::CannotOpen), "1020");
    EXPECT_EQ(RefusalMessageKey(Refusal::TooShort), "1023");
    EXPECT_EQ(RefusalMessageKey(Refusal::NoSignature), "1022");
    EXPECT_EQ(RefusalMessageKey(Refusal::UartImage), "1022");
    EXPECT_EQ(RefusalMessageKey(Refusal::TooLarge), "1022");
    EXPECT_EQ(RefusalMessageKey(Refusal::NoDevice), "1021");
    EXPECT_EQ(RefusalMessageKey(Refusal::LibraryUnusable), "1031");
    EXPECT_EQ(RefusalMessageKey(Refusal::DeviceUnreachable), "1021");
    EXPECT_EQ(RefusalMessageKey(Refusal::CannotLoad), "1020");
    EXPECT_EQ(RefusalMessageKey(Refusal::CannotStart), "1032");
}

}  // namespace
}  // namespace tarnwick
