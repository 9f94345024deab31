// The bar's window is an msctls_progress32: Microsoft Active Accessibility
// reads its role and value from the control itself. Its position is posted,
// not sent, so that a transfer's thread never waits for the UI thread; the
// control clamps it to its range, as the value a screen reader says.

#include "ui/bar_accessibility.h"

#include <wx/window.h>
#include <wx/msw/wrapcctl.h>

namespace tarnwick {

void ReportBarRange(wxWindow& bar, std::int32_t low, std::int32_t high)
{
    ::SendMessage(static_cast<HWND>(bar.GetHandle()), PBM_SETRANGE32, static_cast<WPARAM>(low),
                  static_cast<LPARAM>(high));
}

void ReportBarValue(wxWindow& bar, std::int32_t position)
{
    ::PostMessage(static_cast<HWND>(bar.GetHandle()), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void AnnounceBarValue(wxWindow&) {}

}  // namespace tarnwick
