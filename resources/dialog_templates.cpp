// The two dialog templates of the program, in dialog units.

#include <algorithm>
#include <array>

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick::res {
namespace {

// Dialog 102, the main window. The captions of 2, 1000 and 1002 are only
// placeholders: the window replaces them from lang.ini before it is shown.
constexpr std::array kMainControls{
    ControlTemplate{kCancelId, ControlKind::PushButton, Ampersands::Mnemonic, "Cancel", 196, 31, 78, 25},
    ControlTemplate{kUpgradeGroupId, ControlKind::GroupBox, Ampersands::Mnemonic, kUpgradeGroupCaption,
                    7, 15, 112, 54},
    ControlTemplate{kSystemDataButtonId, ControlKind::PushButton, Ampersands::Mnemonic, "System Data",
                    11, 28, 103, 34},
    ControlTemplate{kDeviceStatusId, ControlKind::Text, Ampersands::Mnemonic, "Static", 161, 64, 163, 12},
    ControlTemplate{kProgressBarId, ControlKind::ProgressBar, Ampersands::Mnemonic, "", 7, 82, 317, 12},
    ControlTemplate{kImageKindId, ControlKind::Text, Ampersands::Mnemonic, "", 7, 108, 156, 8},
    ControlTemplate{kTransferEndId, ControlKind::Text, Ampersands::Mnemonic, "", 226, 105, 98, 11},
    ControlTemplate{kMakerAddressId, ControlKind::Text, Ampersands::Mnemonic, kMakerAddress,
                    104, 139, 105, 8},
};

constexpr DialogTemplate kMainDialog{
    kMainDialogId, "Quillon", 0, 0, 331, 154, kMainControls,
};

// Dialog 100, the About box. It shows the program's one icon (5).
constexpr std::array kAboutControls{
    ControlTemplate{kStaticId, ControlKind::Icon, Ampersands::Mnemonic, "", 11, 17, 20, 20, kAppIconId},
    ControlTemplate{kStaticId, ControlKind::Text, Ampersands::Literal, "Quillon Tarnwick Version 1.0",
                    40, 10, 119, 8},
    ControlTemplate{kStaticId, ControlKind::Text, Ampersands::Mnemonic,
                    "Copyright The Tarnwick authors", 40, 25, 119, 8},
    ControlTemplate{kOkId, ControlKind::DefaultPushButton, Ampersands::Mnemonic, "OK", 178, 7, 50, 16},
};

constexpr DialogTemplate kAboutDialog{
    kAboutDialogId, "About Tarnwick", 0, 0, 235, 55, kAboutControls,
};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& AboutDialogTemplate() { return kAboutDialog; }

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    const auto found = std::ranges::find(dialog.controls, id, &ControlTemplate::id);
    return found == dialog.controls.end() ? nullptr : &*found;
}

}  // namespace tarnwick::res
