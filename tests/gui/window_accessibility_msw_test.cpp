// On Windows the bar is the system's own progress control, painted by the
// window: Microsoft Active Accessibility reports it as a progress bar, and
// its value, as for the unpainted control. Windows' accessibility reads
// both from the control's class and its position, which are checked on
// every system; Wine's own accessibility (8.0) names every control of that
// class a plain client, so there the role itself is not asked.

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/gui/window_fixture.h"

namespace tarnwick::gui_test {
namespace {

TEST(WindowAccessibility, TheBarIsTheSystemsProgressBar) {
    WindowFixture fixture;
    fixture.WriteLangIni("[message]\n1025=T1025\n");
    CTarnwickDlg& window = fixture.Open();
    auto* progress = dynamic_cast<CGradientProgressCtrl*>(fixture.Control(res::kProgressBarId));
    ASSERT_NE(progress, nullptr);
    progress->SetPosition(42);
    WindowFixture::PumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(window.ProgressBar().Position(), 42);

    const HWND bar = static_cast<HWND>(progress->GetHandle());
    wchar_t className[64] = {};
    ::GetClassNameW(bar, className, 64);
    EXPECT_STREQ(className, L"msctls_progress32");
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 42);

    // From oleacc.dll as a screen reader takes it; its import library and
    // the one wx links both define IID_IAccessible.
    using ObjectFromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    const auto objectFromWindow = reinterpret_cast<ObjectFromWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    ASSERT_NE(objectFromWindow, nullptr);
    IAccessible* accessible = nullptr;
    ASSERT_EQ(objectFromWindow(bar, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(&accessible)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    const bool underWine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    VARIANT role{};
    EXPECT_EQ(accessible->get_accRole(self, &role), S_OK);
    if (!underWine) {
        EXPECT_EQ(role.vt, VT_I4);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_PROGRESSBAR);
        BSTR value = nullptr;
        EXPECT_EQ(accessible->get_accValue(self, &value), S_OK);
        if (value != nullptr) {
            EXPECT_STREQ(value, L"42%");
            ::SysFreeString(value);
        }
    }
    accessible->Release();
}

}  // namespace
}  // namespace tarnwick::gui_test
