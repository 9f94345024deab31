// The main window's Windows-only parts: the About item in the real system
// menu, the icon painted in the client area while the window is minimised,
// and the icon Windows asks for while the window is dragged minimised.
// (GTK has none of these; see tarnwick_dlg_gtk.cpp.)

#include <windows.h>

#include "app/icon_placement.h"
#include "app/system_command.h"
#include "app/tarnwick_dlg.h"
#include "app/wx_text.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick {
namespace {

// One paint pass of a window, from BeginPaint to EndPaint.
class PaintPass {
public:
    explicit PaintPass(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintPass(const PaintPass&) = delete;
    PaintPass& operator=(const PaintPass&) = delete;
    ~PaintPass() { ::EndPaint(window_, &paint_); }
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace

void CTarnwickDlg::InitialiseSystemParts() {
    HMENU systemMenu = ::GetSystemMenu(static_cast<HWND>(GetHWND()), FALSE);
    const std::string_view aboutText = res::LoadResourceString(res::kAboutMenuTextId);
    if (systemMenu == nullptr || aboutText.empty()) {
        return;
    }
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, res::kAboutCommandId, ToWxText(aboutText).wc_str());
}

void CTarnwickDlg::PaintMinimised() {
    const HWND window = static_cast<HWND>(GetHWND());
    const PaintPass pass(window);
    ::SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(pass.dc()), 0);
    RECT client{};
    ::GetClientRect(window, &client);
    // DrawIcon draws at the system's icon size, whatever the icon's own.
    const IconOrigin origin = CentredIconOrigin(client.right - client.left, client.bottom - client.top,
                                                ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(pass.dc(), origin.x, origin.y, windowIcon.GetHICON());
}

WXLRESULT CTarnwickDlg::MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) {
    if (message == WM_SYSCOMMAND && OpensAboutBox(static_cast<unsigned>(wParam))) {
        RunSystemCommand(static_cast<unsigned>(wParam));
        return 0;
    }
    if (message == WM_PAINT && ::IsIconic(static_cast<HWND>(GetHWND()))) {
        PaintMinimised();
        return 0;
    }
    if (message == WM_QUERYDRAGICON) {
        return reinterpret_cast<WXLRESULT>(OnDragIconQuery().GetHICON());
    }
    return wxDialog::MSWWindowProc(message, wParam, lParam);
}

}  // namespace tarnwick
