#pragma once
// What the window asks of the user and tells the user in boxes of their own:
// the file chooser and the message box. The window reaches them only through
// this seam, so tests can answer them instead of a person.

#include <optional>
#include <string>

#include <wx/string.h>
#include <wx/window.h>

namespace tarnwick {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // The image file the user picked (a full path), or nullopt when the
    // chooser was cancelled. Modal to `owner`.
    virtual std::optional<std::string> ChooseImageFile(wxWindow* owner) = 0;
    // One OK button, the exclamation icon, the application's name as
    // caption, modal to `owner`; returns when the user has closed it.
    virtual void ShowMessage(wxWindow* owner, const wxString& text) = 0;
};

// The real boxes of the window framework.
class WxPrompts final : public UserPrompts {
public:
    std::optional<std::string> ChooseImageFile(wxWindow* owner) override;
    void ShowMessage(wxWindow* owner, const wxString& text) override;
};

}  // namespace tarnwick
