#pragma once
// The main window: one modal dialog built from template 102. It owns what
// the rest of the tool shares (the icon, whether a device is present, the
// progress bar, the chosen image's path and the text buffer) and turns
// window events into calls of the core:
//   timer 1            -> OnDeviceTimer       (presence probe)
//   button 1000        -> OnSystemDataClicked (upgrade command)
//   About item (0x10)  -> OnSystemMenuCommand -> RunSystemCommand
// Everything here runs on the UI thread. The transfer worker runs on a
// thread of the window's own and reaches the window only through the bar's
// position and a posted end-of-transfer report.

#include <array>
#include <memory>
#include <optional>
#include <string>

#include <wx/dialog.h>
#include <wx/icon.h>
#include <wx/timer.h>

#include "text/text_lookup.h"
#include "app/user_prompts.h"
#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "image/transfer_worker.h"
#include "platform/system.h"
#include "ui/gradient_progress_ctrl.h"

namespace tarnwick {

class TransferRunner;

// What the window works with: the operating system (files, device library,
// handles, clock, the executable's own path) and the user's boxes.
struct DialogServices {
    os::System& system;
    UserPrompts& prompts;
};

class CTarnwickDlg : public wxDialog {
public:
    CTarnwickDlg(wxWindow* parent, const DialogServices& services);
    ~CTarnwickDlg() override;

    // The value lang.ini has for `key` in `section`, or "", in textBuffer.
    // Valid until the next lookup; use it at once.
    const char* LookupText(const char* section, const char* key);

    // The upgrade command, as button 1000 runs it; with `imageFile` (a file
    // dropped on the window) in place of the file chooser.
    void RunUpgrade(std::optional<std::string> imageFile);

    bool TransferRunning() const;
    // What the last presence probe found; the presence monitor keeps it.
    bool DevicePresent() const { return presenceMonitor.devicePresent(); }
    const std::string& ImagePath() const { return imagePath; }
    const CGradientProgressCtrl& ProgressBar() const { return progressBar; }

    // The system-menu command `id`: ids 0x10..0x1F open the About box.
    void RunSystemCommand(unsigned id);

private:
    class UpgradeSeamImpl;

    // Builds the controls from template 102 and gives them their texts,
    // colours and timer, once, at construction.
    void InitialiseControls();
    void SetControlText(int id, const char* text);
    void ShowMessage(const char* key);
    void EnableCommands(bool enable);
    bool StartTransfer(TransferState state);
    void ShowTransferEnd(const TransferOutcome& outcome);

    void OnSystemMenuCommand(wxCommandEvent& event);
    void OnDeviceTimer(wxTimerEvent& event);
    void OnSystemDataClicked(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    // Where each system keeps the About item, and the icon painted while
    // the window is minimised (tarnwick_dlg_msw.cpp, tarnwick_dlg_gtk.cpp).
    void InitialiseSystemParts();
#ifdef __WXMSW__
    const wxIcon& OnDragIconQuery() const { return windowIcon; }
    void PaintMinimised();
    WXLRESULT MSWWindowProc(WXUINT message, WXWPARAM wParam, WXLPARAM lParam) override;
#else
    void OnContextMenu(wxContextMenuEvent& event);
    void OnDialogPaint(wxPaintEvent& event);
#endif

    DialogServices services;
    TextLookup textLookup;
    DeviceLibrary deviceLibrary;
    PresenceMonitor presenceMonitor;

    wxIcon windowIcon;
    CGradientProgressCtrl progressBar;
    std::string imagePath;
    std::array<char, kTextBufferSize> textBuffer;  // UI thread only

    wxTimer deviceTimer;
    // Declared after progressBar: destroyed first, so a running worker is
    // stopped and joined while the bar still exists.
    std::unique_ptr<TransferRunner> transferRunner;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace tarnwick
