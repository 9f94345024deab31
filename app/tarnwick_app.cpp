#include "app/tarnwick_app.h"

#include "app/tarnwick_dlg.h"
#include "app/user_prompts.h"
#include "platform/system.h"

namespace tarnwick {

bool CTarnwickApp::OnInit() {
    // No application name is set: message boxes take the executable's name
    // without its extension as their caption. Nothing is read from the
    // command line and nothing is stored between runs.
    WxPrompts prompts;
    {
        CTarnwickDlg dialog(nullptr, DialogServices{os::RealSystem(), prompts});
        SetTopWindow(&dialog);
        dialog.ShowModal();
        SetTopWindow(nullptr);
    }
    // False: no message loop follows, and the process ends.
    return false;
}

}  // namespace tarnwick
