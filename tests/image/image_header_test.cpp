#include "image/image_header.h"

#include <gtest/gtest.h>

#include "tests/image/image_bytes.h"

namespace tarnwick {
namespace {

using testing::ImageBytes;

std::optional<ImageHeader> Decode(const ImageBytes& image) { return DecodeImageHeader(image.bytes); }

TEST(DecodeImageHeader, RefusesAnythingButTheDollarSign) {
    for (const std::uint8_t first : {0x00, 0x23, 0x25, 0xA4, 0xFF}) {
        EXPECT_FALSE(Decode(ImageBytes().Signature(first)).has_value()) << int{first};
    }
    EXPECT_TRUE(Decode(ImageBytes()).has_value());
}

TEST(DecodeImageHeader, AssemblesUnalignedLittleEndianFields) {
    const auto header = Decode(ImageBytes()
                                   .Port(0x80)
                                   .Flash(0x07)
                                   .StartAddressBytes(0x78, 0x56, 0x34, 0x12)
                                   .Set32(7, 0xFFFFFFFF)
                                   .Set32(11, 0x80000000));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->signature, 0x24);
    EXPECT_EQ(header->port, 0x80);
    EXPECT_EQ(header->flashType, 0x07);
    EXPECT_EQ(header->startAddress, 0x12345678u);
    EXPECT_EQ(header->fileSize, -1);
    EXPECT_EQ(header->packetCount, INT32_MIN);
}

TEST(DecodeImageHeader, DateBytesAreSignedAndByte1025IsNotPartOfIt) {
    const auto header = Decode(ImageBytes().Date(0x80, 0x7F, 0xFF).Set(1025, 0x55));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->dateFirst, -128);
    EXPECT_EQ(header->dateSecond, 127);
    EXPECT_EQ(header->dateYear, -1);
}

TEST(DecodeImageHeader, BytesWithoutMeaningChangeNothing) {
    const ImageBytes plain = ImageBytes().Port(1).Flash(2).StartAddressBytes(1, 2, 3, 4).Date(5, 6, 7);
    ImageBytes noisy = plain;
    for (std::size_t offset = 15; offset < 1024; ++offset) {
        noisy.Set(offset, static_cast<std::uint8_t>(offset * 31));
    }
    noisy.Set(1025, 0xEE);
    const auto a = Decode(plain);
    const auto b = Decode(noisy);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->startAddress, b->startAddress);
    EXPECT_EQ(a->fileSize, b->fileSize);
    EXPECT_EQ(a->packetCount, b->packetCount);
    EXPECT_EQ(a->dateFirst, b->dateFirst);
    EXPECT_EQ(a->dateSecond, b->dateSecond);
    EXPECT_EQ(a->dateYear, b->dateYear);
}

TEST(ImageHeaderFacts, OnlyPortZeroIsUart) {
    ImageHeader header;
    for (const std::uint8_t port : {0x01, 0x02, 0x80, 0xFF}) {
        header.port = port;
        EXPECT_TRUE(IsUsbImage(header)) << int{port};
        EXPECT_EQ(PortKindOf(header), PortKind::Usb);
    }
    header.port = 0;
    EXPECT_FALSE(IsUsbImage(header));
    EXPECT_EQ(PortKindOf(header), PortKind::Uart);
}

TEST(ImageHeaderFacts, OnlySerialImagesWithByteFiveSetAreDated) {
    EXPECT_TRUE(IsDated(*Decode(ImageBytes().Flash(2).StartAddressBytes(0, 0, 1, 0))));
    EXPECT_TRUE(IsDated(*Decode(ImageBytes().Flash(2).StartAddressBytes(0, 0, 0x80, 0))));
    EXPECT_FALSE(IsDated(*Decode(ImageBytes().Flash(2).StartAddressBytes(0xFF, 0xFF, 0, 0))));
    EXPECT_FALSE(IsDated(*Decode(ImageBytes().Flash(2).StartAddressBytes(0, 0, 0, 1))));
    EXPECT_FALSE(IsDated(*Decode(ImageBytes().Flash(1).StartAddressBytes(0, 0, 1, 0))));
    EXPECT_FALSE(IsDated(*Decode(ImageBytes().Flash(3).StartAddressBytes(0, 0, 1, 0))));
}

TEST(ImageHeaderFacts, NandAddressesCountSectorsAndLoseTheHighBits) {
    ImageHeader header;
    header.startAddress = 0x00800001;
    header.flashType = 3;
    EXPECT_EQ(StartByteAddress(header), 0x00000200u);
    header.startAddress = 0x00000010;
    EXPECT_EQ(StartByteAddress(header), 0x00002000u);
    for (const std::uint8_t other : {0, 1, 2, 4, 255}) {
        header.flashType = other;
        EXPECT_EQ(StartByteAddress(header), 0x00000010u) << int{other};
    }
}

TEST(ImageStatusKey, FollowsTheFlashTypeAndTheDateMark) {
    const auto eflash = ImageStatusKey(*Decode(ImageBytes().Flash(1).StartAddressBytes(0, 0, 9, 0)));
    ASSERT_TRUE(eflash.has_value());
    EXPECT_EQ(eflash->key, "1027");
    EXPECT_FALSE(eflash->withDate);

    const auto serial = ImageStatusKey(*Decode(ImageBytes().Flash(2).Date(5, 7, 11)));
    ASSERT_TRUE(serial.has_value());
    EXPECT_EQ(serial->key, "1028");
    EXPECT_FALSE(serial->withDate);

    const auto dated = ImageStatusKey(*Decode(ImageBytes().Flash(2).StartAddressBytes(0, 0, 1, 0).Date(5, 7, 11)));
    ASSERT_TRUE(dated.has_value());
    EXPECT_EQ(dated->key, "1029");
    EXPECT_TRUE(dated->withDate);
    EXPECT_EQ(dated->dateFirst, 5);
    EXPECT_EQ(dated->dateSecond, 7);
    EXPECT_EQ(dated->year, 2011);

    for (const std::uint8_t other : {0, 3, 4, 255}) {
        EXPECT_FALSE(ImageStatusKey(*Decode(ImageBytes().Flash(other).StartAddressBytes(0, 0, 1, 0))))
            << int{other};
    }
}

TEST(ImageStatusKey, NegativeDateBytesGiveSignedNumbers) {
    const auto dated =
        ImageStatusKey(*Decode(ImageBytes().Flash(2).StartAddressBytes(0, 0, 1, 0).Date(0x80, 0xFE, 0xFF)));
    ASSERT_TRUE(dated.has_value());
    EXPECT_EQ(dated->dateFirst, -128);
    EXPECT_EQ(dated->dateSecond, -2);
    EXPECT_EQ(dated->year, 1999);
}

TEST(ComposeImageStatusText, ShowsUndatedTextsUnchanged) {
    EXPECT_EQ(ComposeImageStatusText("Serial image", ImageStatus{.key = "1028"}), "Serial image");
    EXPECT_EQ(ComposeImageStatusText("", ImageStatus{.key = "1027"}), "");
}

TEST(ComposeImageStatusText, PutsTheDateBehindOneBlank) {
    const ImageStatus dated{.key = "1029", .withDate = true, .dateFirst = 5, .dateSecond = 7, .year = 2011};
    EXPECT_EQ(ComposeImageStatusText("Dated", dated), "Dated 5/7/2011");
    EXPECT_EQ(ComposeImageStatusText("", dated), " 5/7/2011");
    const ImageStatus negative{.key = "1029", .withDate = true, .dateFirst = -128, .dateSecond = -1, .year = 1999};
    EXPECT_EQ(ComposeImageStatusText("D", negative), "D -128/-1/1999");
}

TEST(ComposeImageStatusText, ConversionsInTheTextAreShownAsTheyStand) {
    const ImageStatus dated{.key = "1029", .withDate = true, .dateFirst = 1, .dateSecond = 2, .year = 2003};
    EXPECT_EQ(ComposeImageStatusText("%s%n%d %%", dated), "%s%n%d %% 1/2/2003");
    EXPECT_EQ(ComposeImageStatusText("%s%s%s%s", ImageStatus{.key = "1027"}), "%s%s%s%s");
}

TEST(ComposeImageStatusText, NeverExceeds259Characters) {
    const ImageStatus dated{.key = "1029", .withDate = true, .dateFirst = 12, .dateSecond = 31, .year = 2099};
    const std::string longest(259, 'x');
    EXPECT_EQ(ComposeImageStatusText(longest, dated), longest);
    EXPECT_EQ(ComposeImageStatusText(std::string(1000, 'y'), ImageStatus{.key = "1027"}), std::string(259, 'y'));

    const std::string almost(250, 'z');
    EXPECT_EQ(ComposeImageStatusText(almost, dated), almost + " 12/31/20");
}

TEST(ComposeImageStatusText, TextEndsAtATerminatorAsInABuffer) {
    const ImageStatus dated{.key = "1029", .withDate = true, .dateFirst = 1, .dateSecond = 1, .year = 2001};
    EXPECT_EQ(ComposeImageStatusText(std::string("ab\0cd", 5), dated), "ab 1/1/2001");
}

}  // namespace
}  // namespace tarnwick
