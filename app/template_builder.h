#pragma once
// Builds a dialog's window and controls from its template: sizes and
// positions are converted from dialog units by the framework, so the layout
// scales with the dialog's font as on Windows. The template's own font
// (for Windows) is not applied on GTK, where the desktop's font is used.

#include <functional>

#include <wx/dialog.h>
#include <wx/window.h>

#include "resources/dialog_template.h"

namespace tarnwick {

// The window framework's id for a template control id (-1 is any).
wxWindowID WxIdFor(int templateId);

// Creates the progress bar of a template (the caller owns the control's
// object, so it creates it itself on `parent`).
using ProgressBarMaker =
    std::function<wxWindow*(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)>;

// Sets the dialog's client size and creates its controls in template order
// (which is also the tab order). The dialog must already be created.
void BuildFromTemplate(wxDialog& dialog, const res::DialogTemplate& layout,
                       const ProgressBarMaker& makeProgressBar);

}  // namespace tarnwick
