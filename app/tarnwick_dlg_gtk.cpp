// The main window's parts for GTK, which gives a dialog no system menu of
// its own: the About item lives in the window's context menu instead, with
// the same command id. (GTK never paints a minimised window's client area;
// the handler keeps the Windows placement all the same.)

#include <string_view>

#include <wx/dcclient.h>
#include <wx/menu.h>

#include "app/icon_placement.h"
#include "app/tarnwick_dlg.h"
#include "app/wx_text.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"

namespace tarnwick {

void CTarnwickDlg::InitialiseSystemParts() {
    Bind(wxEVT_CONTEXT_MENU, &CTarnwickDlg::OnContextMenu, this);
    Bind(wxEVT_PAINT, &CTarnwickDlg::OnDialogPaint, this);
}

void CTarnwickDlg::OnContextMenu(wxContextMenuEvent&) {
    const std::string_view aboutText = res::LoadResourceString(res::kAboutMenuTextId);
    if (aboutText.empty()) {
        return;
    }
    wxMenu menu;
    menu.Append(static_cast<int>(res::kAboutCommandId), ToWxText(aboutText));
    PopupMenu(&menu);
}

void CTarnwickDlg::OnDialogPaint(wxPaintEvent& event) {
    if (!IsIconized()) {
        event.Skip();
        return;
    }
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    const wxSize client = GetClientSize();
    const IconOrigin origin = CentredIconOrigin(client.GetWidth(), client.GetHeight(),
                                                windowIcon.GetWidth(), windowIcon.GetHeight());
    dc.DrawIcon(windowIcon, origin.x, origin.y);
}

}  // namespace tarnwick
