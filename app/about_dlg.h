#pragma once
// The About box: dialog 100, all of its texts fixed in the template.

#include <wx/dialog.h>

namespace tarnwick {

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace tarnwick
