#include "app/about_dlg.h"

#include "app/template_builder.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

namespace tarnwick {

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    // The template has no progress bar.
    BuildFromTemplate(*this, res::AboutDialogTemplate(),
                      [](wxWindow*, wxWindowID, const wxPoint&, const wxSize&) -> wxWindow* {
                          return nullptr;
                      });
    // OK (id 1) and Escape both close the box.
    SetAffirmativeId(res::kOkId);
    CentreOnParent();
}

}  // namespace tarnwick
