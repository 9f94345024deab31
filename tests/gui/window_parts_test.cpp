// The window's pure pieces: the minimised-icon arithmetic, the file filter
// and the drop test, the UTF-8 cut, and the layout of both templates.

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/file_filter.h"
#include "app/icon_placement.h"
#include "app/system_command.h"
#include "text/text_keys.h"
#include "platform/profile_rules.h"
#include "text/text_lookup.h"
#include "support/utf8_text.h"
#include "resources/dialog_template.h"
#include "resources/ico_writer.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick {
namespace {

using os::ReadProfileString;

TEST(MinimisedIcon, CentresWithDivisionTowardZero) {
    // A 32-pixel icon: (w - 32 + 1) / 2, and -1 / 2 is 0, not -1.
    EXPECT_EQ(CentredIconOrigin(32, 32, 32, 32).x, 0);
    EXPECT_EQ(CentredIconOrigin(33, 32, 32, 32).x, 1);
    EXPECT_EQ(CentredIconOrigin(34, 32, 32, 32).x, 1);
    EXPECT_EQ(CentredIconOrigin(31, 32, 32, 32).x, 0);
    EXPECT_EQ(CentredIconOrigin(30, 32, 32, 32).x, 0);
    EXPECT_EQ(CentredIconOrigin(28, 32, 32, 32).x, -1);
    // Height follows the same rule, independently of width.
    const IconOrigin origin = CentredIconOrigin(160, 99, 48, 48);
    EXPECT_EQ(origin.x, 56);
    EXPECT_EQ(origin.y, 26);
}

TEST(ImageFilter, MatchesTheExtensionInEveryLetterCase) {
    const std::string patterns = AnyCasePatterns("rad");
    for (const char* variant : {"*.rad", "*.raD", "*.rAd", "*.rAD", "*.Rad", "*.RaD", "*.RAd", "*.RAD"}) {
        EXPECT_NE(patterns.find(variant), std::string::npos) << variant;
    }
    EXPECT_EQ(patterns.size(), 8 * 5 + 7);  // eight patterns, seven separators
    EXPECT_EQ(ImageFileFilter(), "rad file (*.rad) |" + patterns);
    // Digits have no case and do not multiply the list.
    EXPECT_EQ(AnyCasePatterns("r1"), "*.r1;*.R1");
}

TEST(DroppedFiles, OnlyRadFilesInAnyCaseAreImages) {
    EXPECT_TRUE(HasImageExtension("/data/fw.rad"));
    EXPECT_TRUE(HasImageExtension("/data/FW.RAD"));
    EXPECT_TRUE(HasImageExtension("/data/fw.RaD"));
    EXPECT_FALSE(HasImageExtension("/data/fw.rad.txt"));
    EXPECT_FALSE(HasImageExtension("/data/fwrad"));
    EXPECT_FALSE(HasImageExtension("/data/fw.ra"));
    EXPECT_FALSE(HasImageExtension(""));
}

TEST(Utf8Cut, DropsOnlyAnIncompleteLastCharacter) {
    const std::string korean = "\xEC\x9D\xB4";  // one three-byte character
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab" + korean), "ab" + korean);
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab" + korean.substr(0, 2)), "ab");
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab" + korean.substr(0, 1)), "ab");
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab\xC3"), "ab");
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab\xC3\xA4"), "ab\xC3\xA4");
    EXPECT_EQ(WithoutIncompleteUtf8Tail("\xF0\x9F\x98"), "");
    EXPECT_EQ(WithoutIncompleteUtf8Tail(""), "");
    // Bytes that are not UTF-8 at all are left for the caller to judge.
    EXPECT_EQ(WithoutIncompleteUtf8Tail("ab\x80\x80"), "ab\x80\x80");
    EXPECT_EQ(WithoutIncompleteUtf8Tail("caf\xE9"), "caf");
}

TEST(Utf8Check, AcceptsWellFormedTextOnly) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("Schlie\xC3\x9F" "en \xEB\x8B\xAB\xEA\xB8\xB0 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));          // Latin-1
    EXPECT_FALSE(IsValidUtf8("\xEB\x8B"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));              // stray continuation
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
}

TEST(SystemCommands, OnlyTheAboutIdOpensTheAboutBox) {
    EXPECT_TRUE(OpensAboutBox(0x10));
    EXPECT_TRUE(OpensAboutBox(0x1F));  // the system may set the low bits
    EXPECT_FALSE(OpensAboutBox(0x20));
    EXPECT_FALSE(OpensAboutBox(0x0F));
    EXPECT_FALSE(OpensAboutBox(0xF060));  // close
    EXPECT_FALSE(OpensAboutBox(0xF010));  // move
}

void ExpectControlsInside(const res::DialogTemplate& dialog) {
    for (const res::ControlTemplate& control : dialog.controls) {
        EXPECT_GE(control.x, 0) << dialog.id << "/" << control.id;
        EXPECT_GE(control.y, 0) << dialog.id << "/" << control.id;
        EXPECT_LE(control.x + control.width, dialog.width) << dialog.id << "/" << control.id;
        EXPECT_LE(control.y + control.height, dialog.height) << dialog.id << "/" << control.id;
    }
}

TEST(Templates, EveryControlLiesInsideItsDialog) {
    ExpectControlsInside(res::MainDialogTemplate());
    ExpectControlsInside(res::AboutDialogTemplate());
}

TEST(Templates, MainWindowControlsCanBeFoundAndTabOrderStartsAtCancel) {
    const res::DialogTemplate& main = res::MainDialogTemplate();
    for (const int id : {res::kCancelId, res::kUpgradeGroupId, res::kSystemDataButtonId,
                         res::kDeviceStatusId, res::kProgressBarId, res::kImageKindId,
                         res::kTransferEndId, res::kMakerAddressId}) {
        EXPECT_NE(res::FindControl(main, id), nullptr) << id;
    }
    EXPECT_EQ(res::FindControl(main, 4711), nullptr);
    EXPECT_EQ(main.controls.front().id, res::kCancelId);

    // The group box frames button 1000.
    const res::ControlTemplate& group = *res::FindControl(main, res::kUpgradeGroupId);
    const res::ControlTemplate& button = *res::FindControl(main, res::kSystemDataButtonId);
    EXPECT_GE(button.x, group.x);
    EXPECT_GE(button.y, group.y);
    EXPECT_LE(button.x + button.width, group.x + group.width);
    EXPECT_LE(button.y + button.height, group.y + group.height);
}

#include "resources/tarnwick_icon.xpm"

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TEST(WindowsIcon, HoldsTheArtPixelForPixelWithItsTransparency) {
    const auto ico = res::IcoFromXpm(tarnwick_icon_xpm);
    ASSERT_TRUE(ico.has_value());
    constexpr std::size_t kSide = 48;
    constexpr std::size_t kPalette = 22 + 40;      // after the directory and the bitmap header
    constexpr std::size_t kPixels = kPalette + 256 * 4;
    constexpr std::size_t kMask = kPixels + kSide * kSide;
    ASSERT_EQ(ico->size(), kMask + kSide * 8);     // mask rows padded to 32 bits
    EXPECT_EQ((*ico)[6], kSide);
    EXPECT_EQ((*ico)[7], kSide);
    EXPECT_EQ((*ico)[12], 8);                      // bits per pixel
    EXPECT_EQ(Read32(*ico, 14), ico->size() - 22);
    EXPECT_EQ(Read32(*ico, 18), 22u);
    EXPECT_EQ(Read32(*ico, 22 + 8), 2 * kSide);    // colour image and mask

    // Every pixel, read back bottom-up, has the XPM's colour or is clear.
    int colours = 0;
    ASSERT_EQ(std::sscanf(tarnwick_icon_xpm[0], "%*d %*d %d", &colours), 1);
    std::map<char, std::string> colourOf;
    for (int i = 0; i < colours; ++i) {
        const std::string line = tarnwick_icon_xpm[1 + i];
        colourOf[line[0]] = line.substr(4);
    }
    int clearPixels = 0;
    for (std::size_t y = 0; y < kSide; ++y) {
        const std::string row = tarnwick_icon_xpm[1 + colours + y];
        const std::size_t stored = kSide - 1 - y;
        for (std::size_t x = 0; x < kSide; ++x) {
            const std::string& colour = colourOf.at(row[x]);
            const bool clear = ((*ico)[kMask + stored * 8 + x / 8] >> (7 - x % 8)) & 1;
            ASSERT_EQ(clear, colour == "None") << x << "," << y;
            if (clear) {
                ++clearPixels;
                continue;
            }
            const std::size_t index = (*ico)[kPixels + stored * kSide + x];
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02X%02X%02X", (*ico)[kPalette + index * 4 + 2],
                          (*ico)[kPalette + index * 4 + 1], (*ico)[kPalette + index * 4]);
            ASSERT_EQ(colour, hex) << x << "," << y;
        }
    }
    EXPECT_GT(clearPixels, 0);
}

TEST(WindowsIcon, RefusesXpmsItCannotStoreAsOneByteIndexes) {
    const char* const twoChars[] = {"2 1 1 2", "aa c #000000", "aaaa"};
    EXPECT_FALSE(res::IcoFromXpm(twoChars).has_value());
    const char* const unknownPixel[] = {"2 1 1 1", "a c #000000", "ab"};
    EXPECT_FALSE(res::IcoFromXpm(unknownPixel).has_value());
    const char* const shortRow[] = {"2 1 1 1", "a c #000000", "a"};
    EXPECT_FALSE(res::IcoFromXpm(shortRow).has_value());
    const char* const namedColour[] = {"1 1 1 1", "a c red", "a"};
    EXPECT_FALSE(res::IcoFromXpm(namedColour).has_value());
}

std::string ShippedLangIni(const std::string& language) {
    std::ifstream in(std::string(TARNWICK_SOURCE_DIR) + "/lang/" + language + "/lang.ini",
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShippedLanguage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguage, HasEveryTextWithinTheBufferAndInUtf8) {
    const std::string ini = ShippedLangIni(GetParam());
    ASSERT_FALSE(ini.empty());
    for (const TextKey& key : kTextKeys) {
        const std::string value = ReadProfileString(ini, key.section, key.key);
        EXPECT_FALSE(value.empty()) << key.section << "/" << key.key;
        // A longer text would be cut when shown.
        EXPECT_LT(value.size(), kMaxTextLength) << key.section << "/" << key.key;
        EXPECT_TRUE(IsValidUtf8(value)) << key.section << "/" << key.key;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguage, ::testing::Values("en", "ko", "de"));

}  // namespace
}  // namespace tarnwick
