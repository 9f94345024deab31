#include "app/tarnwick_dlg.h"

#include <algorithm>
#include <cstring>

#include <wx/button.h>
#include <wx/settings.h>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/image_drop_target.h"
#include "app/system_command.h"
#include "app/template_builder.h"
#include "app/transfer_runner.h"
#include "app/wx_text.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

namespace tarnwick {

wxBEGIN_EVENT_TABLE(CTarnwickDlg, wxDialog)
    EVT_MENU_RANGE(res::kAboutCommandId, res::kAboutCommandId | 0xF, CTarnwickDlg::OnSystemMenuCommand)
    EVT_TIMER(kDeviceTimerId, CTarnwickDlg::OnDeviceTimer)
    EVT_BUTTON(res::kSystemDataButtonId, CTarnwickDlg::OnSystemDataClicked)
    EVT_BUTTON(res::kCancelId, CTarnwickDlg::OnCancel)
    EVT_CLOSE(CTarnwickDlg::OnClose)
wxEND_EVENT_TABLE()

namespace {

// The bar's colours: teal toward navy, with a green label.
constexpr Colour kBarLeftColour = 0x808000;
constexpr Colour kBarRightColour = 0x800000;
constexpr Colour kBarLabelColour = 0x008000;

}  // namespace

CTarnwickDlg::CTarnwickDlg(wxWindow* parent, const DialogServices& dialogServices)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      services(dialogServices),
      textLookup(services.system.process, services.system.profiles),
      deviceLibrary(services.system.libraries),
      presenceMonitor(deviceLibrary, services.system.handles),
      windowIcon(AppIcon()),
      deviceTimer(this, static_cast<int>(kDeviceTimerId)),
      transferRunner(std::make_unique<TransferRunner>(
          services.system, progressBar,
          [this](const TransferOutcome& outcome) { ShowTransferEnd(outcome); })) {
    textBuffer[0] = '\0';
    InitialiseControls();
}

CTarnwickDlg::~CTarnwickDlg() = default;

void CTarnwickDlg::InitialiseControls() {
    BuildFromTemplate(*this, res::MainDialogTemplate(),
                      [this](wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size) -> wxWindow* {
                          progressBar.Create(parent, id, pos, size);
                          return &progressBar;
                      });
    InitialiseSystemParts();
    SetIcon(windowIcon);

    SetTitle(ToWxText(LookupText("title", "100")));
    SetControlText(res::kSystemDataButtonId, LookupText("control", "1003"));
    SetControlText(res::kCancelId, LookupText("control", "1001"));
    SetControlText(res::kDeviceStatusId, LookupText("message", std::string(kNoDeviceKey).c_str()));

    progressBar.SetLimits(0, 100);
    progressBar.SetPosition(0);
    progressBar.SetPercentVisible(true);
    progressBar.SetLeftColor(kBarLeftColour);
    progressBar.SetRightColor(kBarRightColour);
    progressBar.SetPercentColor(kBarLabelColour);

    deviceTimer.Start(static_cast<int>(kFirstProbeDelay.count()));

    // Escape presses Cancel (id 2), as on Windows.
    SetEscapeId(res::kCancelId);
    SetDropTarget(new ImageDropTarget(*this));
    CentreOnScreen();
    if (wxWindow* cancel = FindWindow(res::kCancelId)) {
        cancel->SetFocus();
    }
}

const char* CTarnwickDlg::LookupText(const char* section, const char* key) {
    const std::string text = textLookup.Lookup(section, key);
    const std::size_t length = std::min(text.size(), kMaxTextLength);
    std::memcpy(textBuffer.data(), text.data(), length);
    textBuffer[length] = '\0';
    return textBuffer.data();
}

void CTarnwickDlg::SetControlText(int id, const char* text) {
    if (wxWindow* control = FindWindow(WxIdFor(id))) {
        control->SetLabel(ToWxText(text));
    }
}

void CTarnwickDlg::ShowMessage(const char* key) {
    // The text is copied out of textBuffer before the box's own event loop
    // lets the presence monitor look up another.
    services.prompts.ShowMessage(this, ToWxText(LookupText("message", key)));
}

bool CTarnwickDlg::TransferRunning() const { return transferRunner->IsRunning(); }

void CTarnwickDlg::RunSystemCommand(unsigned id) {
    if (!OpensAboutBox(id)) {
        return;
    }
    CAboutDlg about(this);
    about.ShowModal();
}

void CTarnwickDlg::OnSystemMenuCommand(wxCommandEvent& event) {
    RunSystemCommand(static_cast<unsigned>(event.GetId()));
}

void CTarnwickDlg::OnDeviceTimer(wxTimerEvent& event) {
    const PresenceMonitor::Tick tick = presenceMonitor.OnTimer(static_cast<unsigned>(event.GetId()));
    if (tick.decision.statusKey) {
        const std::string key(*tick.decision.statusKey);
        SetControlText(res::kDeviceStatusId, LookupText("message", key.c_str()));
    }
    if (tick.decision.nextPeriod) {
        deviceTimer.Start(static_cast<int>(tick.decision.nextPeriod->count()));
    }
}

void CTarnwickDlg::OnSystemDataClicked(wxCommandEvent&) { RunUpgrade(std::nullopt); }

void CTarnwickDlg::OnCancel(wxCommandEvent&) {
    if (TransferRunning()) {
        return;
    }
    EndModal(res::kCancelId);
}

void CTarnwickDlg::OnClose(wxCloseEvent& event) {
    // A window closed in the middle of a transfer would leave the device
    // half-written: closing waits until the transfer has ended.
    if (TransferRunning() && event.CanVeto()) {
        event.Veto();
        return;
    }
    // The window is always a local object of whoever runs it: it is never
    // destroyed from here.
    if (IsModal()) {
        EndModal(res::kCancelId);
    } else {
        Hide();
    }
}

void CTarnwickDlg::EnableCommands(bool enable) {
    for (const int id : {res::kSystemDataButtonId, res::kCancelId}) {
        if (wxWindow* button = FindWindow(WxIdFor(id))) {
            button->Enable(enable);
        }
    }
}

bool CTarnwickDlg::StartTransfer(TransferState state) {
    EnableCommands(false);
    if (!transferRunner->Start(std::move(state))) {
        EnableCommands(true);
        return false;
    }
    return true;
}

void CTarnwickDlg::ShowTransferEnd(const TransferOutcome& outcome) {
    const std::string key(OutcomeMessageKey(outcome.result));
    SetControlText(res::kTransferEndId, LookupText("message", key.c_str()));
    progressBar.SetPosition(0);
    EnableCommands(true);
    if (outcome.result != TransferResult::Complete) {
        ShowMessage(key.c_str());
    }
    if (wxWindow* cancel = FindWindow(res::kCancelId)) {
        cancel->SetFocus();
    }
}

}  // namespace tarnwick
