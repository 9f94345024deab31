// Images written by `vantrel-sim make-image`: the layout the tool expects,
// the broken variants, and payloads that are a pure function of the seed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/sha256.h"
#include "sim/image_maker.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::sim {
namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t At32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

class MakeImageTest : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Make(const ImageSpec& spec, MadeImage* made = nullptr) {
        const MadeImage result = MakeImage(folder.File("image.rad"), spec);
        EXPECT_TRUE(result.ok) << result.error;
        if (made != nullptr) {
            *made = result;
        }
        return ReadAll(folder.File("image.rad"));
    }

    test::TempDir folder;
};

TEST_F(MakeImageTest, WritesTheHeaderFieldsAndAPayloadOfTheAskedSize) {
    MadeImage made;
    const auto image = Make({.port = 1, .flashType = 3, .startAddress = 0x1234, .payloadBytes = 5000}, &made);

    ASSERT_EQ(image.size(), 1024u + 5000u);
    EXPECT_EQ(image[0], '$');
    EXPECT_EQ(image[1], 1);
    EXPECT_EQ(image[2], 3);
    EXPECT_EQ(At32(image, 3), 0x1234u);
    EXPECT_EQ(At32(image, 7), 6024u);
    EXPECT_EQ(At32(image, 11), 3u);  // pieces of 2048
    EXPECT_EQ(made.payloadBytes, 5000u);
    Sha256 payload;
    payload.Update(std::span(image).subspan(1024));
    EXPECT_EQ(made.payloadSha256, payload.FinishHex());
}

TEST_F(MakeImageTest, TheSameSeedGivesTheSameBytesAndAnotherSeedOthers) {
    const auto first = Make({.payloadBytes = 4096, .seed = 7});
    const auto again = Make({.payloadBytes = 4096, .seed = 7});
    const auto other = Make({.payloadBytes = 4096, .seed = 8});
    EXPECT_EQ(first, again);
    EXPECT_NE(std::vector(first.begin() + 1024, first.end()), std::vector(other.begin() + 1024, other.end()));
}

TEST_F(MakeImageTest, ADateGoesIntoTheFirstPayloadBytesAndMarksASerialImage) {
    const auto image = Make({.flashType = 2, .date = ImageDate{5, 7, -1}, .payloadBytes = 100});
    EXPECT_NE(image[5], 0) << "a dated serial image has a non-zero byte 5";
    EXPECT_EQ(image[1024], 5);
    EXPECT_EQ(image[1026], 7);
    EXPECT_EQ(image[1027], 0xff);
}

TEST_F(MakeImageTest, BrokenVariants) {
    EXPECT_EQ(Make({.noSignature = true})[0], '#');
    EXPECT_EQ(Make({.port = 0})[1], 0);
    EXPECT_EQ(Make({.payloadBytes = 1 << 20, .shortFile = true}).size(), 1027u);
}

TEST(ParseImageDate, TakesSignedBytesAndNothingElse) {
    EXPECT_TRUE(ParseImageDate("5/7/11"));
    EXPECT_EQ(ParseImageDate("-128/0/127")->first, -128);
    for (const char* bad : {"", "5/7", "5/7/11/1", "5-7-11", "5/7/128", "a/b/c", "5/7/11 "}) {
        EXPECT_FALSE(ParseImageDate(bad)) << bad;
    }
}

TEST(MakeImageCommand, WritesTheFileAndRefusesBadOptions) {
    test::TempDir folder;
    const std::string sim = test::BinPath("vantrel-sim");
    const auto made = test::RunProgram(sim, {"make-image", folder.File("a.rad"), "--port", "uart", "--flash", "200",
                                             "--payload", "10"});
    ASSERT_TRUE(made);
    EXPECT_EQ(made->exitCode, 0) << made->output;
    const auto image = ReadAll(folder.File("a.rad"));
    ASSERT_EQ(image.size(), 1034u);
    EXPECT_EQ(image[1], 0);
    EXPECT_EQ(image[2], 200);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--flash", "256"}, {"--port", "serial"}, {"--date", "1/2"}}) {
        std::vector<std::string> arguments{"make-image", folder.File("b.rad")};
        arguments.insert(arguments.end(), bad.begin(), bad.end());
        const auto refused = test::RunProgram(sim, arguments);
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->exitCode, 0) << bad[0] << " " << bad[1];
    }
}

}  // namespace
}  // namespace tarnwick::sim
