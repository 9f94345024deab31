#pragma once
// Numbers that name the program's resources and controls. The window code,
// the Windows resource script and the tests all use these, never literals.

namespace tarnwick::res {

// Resources.
inline constexpr int kAboutDialogId = 100;
inline constexpr int kAboutMenuTextId = 101;  // string: the About item's text
inline constexpr int kMainDialogId = 102;
inline constexpr int kAppIconId = 5;

// The About item of the system menu (and, on GTK, of the context menu).
// Only the low four bits of a system command are free for the application.
inline constexpr unsigned kAboutCommandId = 0x10;
inline constexpr unsigned kSystemCommandMask = 0xFFF0;

// Controls. kStaticId marks controls that nothing refers to.
inline constexpr int kStaticId = -1;
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;
inline constexpr int kSystemDataButtonId = 1000;
inline constexpr int kUpgradeGroupId = 1001;
inline constexpr int kDeviceStatusId = 1002;
inline constexpr int kProgressBarId = 1003;
inline constexpr int kImageKindId = 1004;
inline constexpr int kTransferEndId = 1005;
inline constexpr int kMakerAddressId = 1006;

}  // namespace tarnwick::res
