#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>

#include "app/file_filter.h"
#include "app/user_prompts.h"
#include "app/wx_text.h"

namespace tarnwick {

std::optional<std::string> WxPrompts::ChooseImageFile(wxWindow* owner) {
    // No default name and no default extension: a name typed without an
    // extension is taken as typed. Only an existing file can be chosen.
    wxFileDialog chooser(owner, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                         ToWxText(ImageFileFilter()), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() != wxID_OK) {
        return std::nullopt;
    }
    return ToFileSystemPath(chooser.GetPath());
}

void WxPrompts::ShowMessage(wxWindow* owner, const wxString& text) {
    // The application's name is the executable's name without its extension,
    // since the program carries no title of its own.
    wxMessageBox(text, wxTheApp->GetAppName(), wxOK | wxICON_EXCLAMATION, owner);
}

}  // namespace tarnwick
