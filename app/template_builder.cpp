#include "app/template_builder.h"

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/app_icon.h"
#include "app/wx_text.h"
#include "resources/resource_ids.h"

namespace tarnwick {
namespace {

wxString LabelOf(const res::ControlTemplate& control) {
    const wxString text = ToWxText(control.text);
    return control.ampersands == res::Ampersands::Literal ? wxControl::EscapeMnemonics(text) : text;
}

void CreateControl(wxDialog& dialog, const res::ControlTemplate& control,
                   const ProgressBarMaker& makeProgressBar) {
    const wxWindowID id = WxIdFor(control.id);
    const wxPoint pos = dialog.ConvertDialogToPixels(wxPoint(control.x, control.y));
    const wxSize size = dialog.ConvertDialogToPixels(wxSize(control.width, control.height));
    // Controls are children of the dialog, which destroys them with itself.
    switch (control.kind) {
    case res::ControlKind::PushButton:
        new wxButton(&dialog, id, LabelOf(control), pos, size);
        break;
    case res::ControlKind::DefaultPushButton:
        (new wxButton(&dialog, id, LabelOf(control), pos, size))->SetDefault();
        break;
    case res::ControlKind::GroupBox:
        new wxStaticBox(&dialog, id, LabelOf(control), pos, size);
        break;
    case res::ControlKind::Text:
        new wxStaticText(&dialog, id, LabelOf(control), pos, size,
                         wxALIGN_LEFT | wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
        break;
    case res::ControlKind::ProgressBar:
        makeProgressBar(&dialog, id, pos, size);
        break;
    case res::ControlKind::Icon:
        if (control.iconId == res::kAppIconId) {
            new wxStaticBitmap(&dialog, id, AppIcon(), pos);
        }
        break;
    }
}

}  // namespace

wxWindowID WxIdFor(int templateId) {
    // Template ids are kept as they are. (wx's own ids for OK and Cancel
    // would bring stock labels with them, shown in place of an empty text.)
    return templateId == res::kStaticId ? wxID_ANY : templateId;
}

void BuildFromTemplate(wxDialog& dialog, const res::DialogTemplate& layout,
                       const ProgressBarMaker& makeProgressBar) {
    dialog.SetTitle(ToWxText(layout.caption));
    dialog.SetClientSize(dialog.ConvertDialogToPixels(wxSize(layout.width, layout.height)));
    for (const res::ControlTemplate& control : layout.controls) {
        CreateControl(dialog, control, makeProgressBar);
    }
}

}  // namespace tarnwick
