// The window's pure pieces: the minimised-icon arithmetic, the file filter
// and the drop test, the UTF-8 cut, and the layout of both templates.

#include <string>

#include <gtest/gtest.h>

#include "app/file_filter.h"
#include "app/icon_placement.h"
#include "app/system_command.h"
#include "app/utf8_text.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick
