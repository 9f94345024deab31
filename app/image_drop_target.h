#pragma once
// A .rad file dropped on the main window runs the upgrade command with that
// file in place of the file chooser.

#include <wx/dnd.h>

namespace tarnwick {

class CTarnwickDlg;

class ImageDropTarget final : public wxFileDropTarget {
public:
    explicit ImageDropTarget(CTarnwickDlg& dialog) : dialog_(dialog) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& fileNames) override;

private:
    CTarnwickDlg& dialog_;
};

}  // namespace tarnwick
