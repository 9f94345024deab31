// The main window's Windows-only parts: the About item in the real system
// menu, and the icon Windows asks for while the window is dragged minimised.
// (GTK has neither; there the About item is in the context menu.)

#include <windows.h>

#include "app/system_command.h"
#include "app/tarnwick_dlg.h"
#include "app/wx_text.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick {

void CTarnwickDlg::AppendAboutToSystemMenu() {
    HMENU systemMenu = ::GetSystemMenu(GetHwnd(), FALSE);
    const std::string_view aboutText = res::LoadResourceString(res::kAboutMenuTextId);
    if (systemMenu == nullptr || aboutText.empty()) {
        return;
    }
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, res::kAboutCommandId, ToWxText(aboutText).wc_str());
}

WXLRESULT CTarnwickDlg::MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) {
    if (message == WM_SYSCOMMAND && OpensAboutBox(static_cast<unsigned>(wParam))) {
        RunSystemCommand(static_cast<unsigned>(wParam));
        return 0;
    }
    if (message == WM_QUERYDRAGICON) {
        return reinterpret_cast<WXLRESULT>(OnDragIconQuery().GetHICON());
    }
    return wxDialog::MSWWindowProc(message, wParam, lParam);
}

}  // namespace tarnwick
