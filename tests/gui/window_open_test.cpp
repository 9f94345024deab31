// The window as it opens and closes: texts from lang.ini beside the
// executable, the fixed texts, the bar's set-up, focus, and every way out.

#include <optional>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "app/about_dlg.h"
#include "resources/resource_ids.h"
#include "resources/resource_strings.h"
#include "tests/gui/window_fixture.h"
#include "ui/colour.h"

#ifdef __WXMSW__
#include <windows.h>
#endif

namespace tarnwick::gui_test {
namespace {

constexpr const char* kTestTexts =
    "[title]\n100=Window Under Test\n"
    "[control]\n1001=Leave\n1003=\"Pick An Image\"\n"
    "[MESSAGE]\n1024=Found one\n1025=   Nothing attached   \n";

// Presses a key the way a person would: through the X server, to the
// window under the pointer.
void PressKey(wxWindow& window, int key) {
    wxUIActionSimulator input;
    const wxRect rect = window.GetScreenRect();
    input.MouseMove(rect.GetLeft() + 5, rect.GetTop() + 5);
    window.Raise();
    WindowFixture::PumpFor(std::chrono::milliseconds(50));
    input.Char(key);
}

TEST(WindowOpens, WithCaptionAndTextsFromLangIniBesideItsExecutable) {
    WindowFixture fixture;
    fixture.WriteLangIni(kTestTexts);
    CTarnwickDlg& window = fixture.Open();

    EXPECT_EQ(window.GetTitle(), "Window Under Test");
    EXPECT_EQ(fixture.LabelOf(res::kSystemDataButtonId), "Pick An Image");
    EXPECT_EQ(fixture.LabelOf(res::kCancelId), "Leave");
    EXPECT_EQ(fixture.LabelOf(res::kDeviceStatusId), "Nothing attached");
    // Fixed in the resources, whatever the language.
    EXPECT_EQ(fixture.LabelOf(res::kUpgradeGroupId), "UPGRADE");
    EXPECT_EQ(fixture.LabelOf(res::kMakerAddressId), wxString(res::kMakerAddress.data()));
    EXPECT_EQ(fixture.LabelOf(res::kImageKindId), "");
    EXPECT_EQ(fixture.LabelOf(res::kTransferEndId), "");
    EXPECT_FALSE(window.DevicePresent());
}

TEST(WindowOpens, WithTheBarEmptyAndItsColoursSet) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    const CGradientProgressCtrl& bar = window.ProgressBar();
    EXPECT_EQ(bar.GetLowLimit(), 0);
    EXPECT_EQ(bar.GetHighLimit(), 100);
    EXPECT_EQ(bar.Position(), 0);

    // The label and colours show in the pixels: at position 0 no band is
    // drawn and the label reads "0%" in green.
    wxBitmap bitmap(300, 20);
    wxMemoryDC dc(bitmap);
    bar.PaintPass(dc, wxSize(300, 20));
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    bool greenLabel = false;
    for (int x = 0; x < 300 && !greenLabel; ++x) {
        for (int y = 0; y < 20; ++y) {
            if (image.GetRed(x, y) == 0 && image.GetGreen(x, y) == 0x80 && image.GetBlue(x, y) == 0) {
                greenLabel = true;
                break;
            }
        }
    }
    EXPECT_TRUE(greenLabel);
}

TEST(WindowOpens, WithoutLangIniShowsEmptyTextsAndNoError) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    EXPECT_EQ(window.GetTitle(), "");
    EXPECT_EQ(fixture.LabelOf(res::kSystemDataButtonId), "");
    EXPECT_EQ(fixture.LabelOf(res::kCancelId), "");
    EXPECT_EQ(fixture.LabelOf(res::kDeviceStatusId), "");
    EXPECT_TRUE(fixture.prompts.messages().empty());
}

TEST(WindowOpens, ShowsUtf8TextsEvenWhenCutInsideACharacter) {
    WindowFixture fixture;
    // 258 ASCII bytes and then a three-byte character: the 259-byte cut
    // leaves only the first byte of it.
    const std::string longTitle = std::string(258, 'a') + "\xEC\x9D\xB4";
    fixture.WriteLangIni("[title]\n100=" + longTitle + "\n[control]\n1001=\xEB\x8B\xAB\xEA\xB8\xB0\n");
    CTarnwickDlg& window = fixture.Open();
    EXPECT_EQ(window.GetTitle(), wxString(std::string(258, 'a')));
    EXPECT_EQ(fixture.LabelOf(res::kCancelId), wxString::FromUTF8("\xEB\x8B\xAB\xEA\xB8\xB0"));
}

// A text as a file saved in another encoding than UTF-8 holds it, and the
// text the window must show for it.
struct NarrowText {
    const char* bytes;
    const char* shownAsUtf8;
};

std::optional<NarrowText> NarrowTextOfThisSystem() {
#ifdef __WXMSW__
    // The system's ANSI code page; CTest runs this under Wine's default
    // (1252) and under a Korean locale (949).
    switch (::GetACP()) {
    case 1252:
        return NarrowText{"Caf\xE9", "Caf\xC3\xA9"};
    case 949:
        return NarrowText{"\xB4\xDD\xB1\xE2", "\xEB\x8B\xAB\xEA\xB8\xB0"};
    default:
        return std::nullopt;
    }
#else
    return NarrowText{"Caf\xE9", "Caf\xC3\xA9"};  // Latin-1
#endif
}

TEST(WindowOpens, ShowsATextThatIsNotUtf8InTheSystemsOwnEncoding) {
    const std::optional<NarrowText> text = NarrowTextOfThisSystem();
    if (!text) {
        GTEST_SKIP() << "no sample text for this code page";
    }
    WindowFixture fixture;
    fixture.WriteLangIni(std::string("[control]\n1003=") + text->bytes + "\n");
    fixture.Open();
    EXPECT_EQ(fixture.LabelOf(res::kSystemDataButtonId), wxString::FromUTF8(text->shownAsUtf8));
}

TEST(WindowOpens, CentredWithTheFocusOnCancel) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    wxWindow* focused = nullptr;
    wxRect rect;
    const int result = fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        focused = wxWindow::FindFocus();
        rect = window.GetScreenRect();
    });
    EXPECT_EQ(result, WindowFixture::kScriptLeftOpen);
    EXPECT_EQ(focused, fixture.Control(res::kCancelId));
    const wxRect area = wxDisplay(static_cast<unsigned>(wxDisplay::GetFromWindow(&window)))
                            .GetClientArea();
    const wxPoint middle(area.GetLeft() + area.GetWidth() / 2, area.GetTop() + area.GetHeight() / 2);
    const wxPoint centre(rect.GetLeft() + rect.GetWidth() / 2, rect.GetTop() + rect.GetHeight() / 2);
    EXPECT_NEAR(centre.x, middle.x, 2);
    EXPECT_NEAR(centre.y, middle.y, 30);  // a window frame may add height above
}

struct CloseWay {
    const char* name;
    std::function<void(CTarnwickDlg&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out) { *out << way.name; }

class WindowCloses : public ::testing::TestWithParam<CloseWay> {};

TEST_P(WindowCloses, AtOnceWithTheCancelResult) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    const int result = fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        WindowFixture::PumpFor(std::chrono::milliseconds(150));
        GetParam().close(window);
        WindowFixture::PumpUntil([&] { return !WindowFixture::IsOpen(window); }, std::chrono::seconds(3));
    });
    EXPECT_EQ(result, res::kCancelId);
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, WindowCloses,
    ::testing::Values(
        CloseWay{"EnterOnTheFocusedCancelButton", [](CTarnwickDlg& w) { PressKey(w, WXK_RETURN); }},
        CloseWay{"Escape", [](CTarnwickDlg& w) { PressKey(w, WXK_ESCAPE); }},
        CloseWay{"CloseButtonOrCloseItem", [](CTarnwickDlg& w) { w.Close(); }},
        CloseWay{"CancelClicked",
                 [](CTarnwickDlg& w) {
                     wxWindow* cancel = w.FindWindow(res::kCancelId);
                     wxCommandEvent click(wxEVT_BUTTON, res::kCancelId);
                     click.SetEventObject(cancel);
                     cancel->GetEventHandler()->ProcessEvent(click);
                 }}),
    [](const ::testing::TestParamInfo<CloseWay>& info) { return std::string(info.param.name); });

// Finds the About box among the open windows.
CAboutDlg* OpenAboutBox() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (auto* about = dynamic_cast<CAboutDlg*>(window); about != nullptr && WindowFixture::IsOpen(*about)) {
            return about;
        }
    }
    return nullptr;
}

// Picks the About item as a person would: from the window's system menu on
// Windows, from its context menu (a right click) on GTK, which gives a
// dialog no system menu. Keeps the item's text.
class AboutItemPicker {
public:
    explicit AboutItemPicker(CTarnwickDlg& window);
    void Pick();
    const wxString& itemText() const { return itemText_; }

private:
    CTarnwickDlg& window_;
    wxString itemText_;
#ifndef __WXMSW__
    wxTimer keys_;
#endif
};

#ifdef __WXMSW__
AboutItemPicker::AboutItemPicker(CTarnwickDlg& window) : window_(window) {}

void AboutItemPicker::Pick() {
    const HWND hwnd = static_cast<HWND>(window_.GetHWND());
    wchar_t text[64] = {};
    ::GetMenuStringW(::GetSystemMenu(hwnd, FALSE), res::kAboutCommandId, text, 64, MF_BYCOMMAND);
    itemText_ = text;
    // What the system menu sends when the item is chosen.
    ::PostMessageW(hwnd, WM_SYSCOMMAND, res::kAboutCommandId, 0);
}
#else
AboutItemPicker::AboutItemPicker(CTarnwickDlg& window) : window_(window) {
    // A popup menu runs a loop of its own, in which timers are served, so a
    // timer picks the item with the keyboard.
    keys_.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
        wxUIActionSimulator input;
        input.Char(WXK_DOWN);
        input.Char(WXK_RETURN);
    });
    window_.Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& event) {
        if (wxMenu* menu = event.GetMenu()) {
            if (wxMenuItem* item = menu->FindItem(static_cast<int>(res::kAboutCommandId))) {
                itemText_ = item->GetItemLabel();
            }
        }
        keys_.StartOnce(100);
        event.Skip();
    });
}

void AboutItemPicker::Pick() {
    wxUIActionSimulator input;
    const wxRect rect = window_.GetScreenRect();
    input.MouseMove(rect.GetLeft() + rect.GetWidth() / 2, rect.GetBottom() - 40);
    input.MouseClick(wxMOUSE_BTN_RIGHT);
}
#endif

TEST(AboutBox, ItsItemOpensItOverTheWindow) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    AboutItemPicker picker(window);
    wxString aboutTitle;
    wxWindow* aboutParent = nullptr;
    // The About box is closed by a timer as soon as it shows.
    wxTimer close;
    close.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (CAboutDlg* about = OpenAboutBox()) {
            aboutTitle = about->GetTitle();
            aboutParent = about->GetParent();
            about->EndModal(wxID_OK);
        }
    });
    close.Start(50);
    fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        picker.Pick();
        WindowFixture::PumpUntil([&] { return !aboutTitle.empty(); }, std::chrono::seconds(5));
    });
    EXPECT_EQ(picker.itemText(), "&About ...");
    EXPECT_EQ(aboutTitle, "About Tarnwick");
    EXPECT_EQ(aboutParent, &window);
}

#ifdef __WXMSW__
// The context menu stands in for the system menu on GTK only.
TEST(AboutBox, NoContextMenuOffersItOnWindows) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    int menusOpened = 0;
    window.Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        ++menusOpened;
        ::EndMenu();
        event.Skip();
    });
    fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        wxUIActionSimulator input;
        const wxRect rect = window.GetScreenRect();
        input.MouseMove(rect.GetLeft() + rect.GetWidth() / 2, rect.GetBottom() - 40);
        input.MouseClick(wxMOUSE_BTN_RIGHT);
        WindowFixture::PumpFor(std::chrono::milliseconds(300));
    });
    EXPECT_EQ(menusOpened, 0);
}
#endif

TEST(AboutBox, NotOpenedByOtherSystemCommands) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    bool aboutSeen = false;
    fixture.RunModal([&] {
        window.CallAfter([&] {
            if (CAboutDlg* about = OpenAboutBox()) {
                aboutSeen = true;
                about->EndModal(wxID_OK);
            }
        });
        window.RunSystemCommand(0xF060);  // close, as the system spells it
        window.RunSystemCommand(0x20);
        WindowFixture::PumpFor(std::chrono::milliseconds(50));
    });
    EXPECT_FALSE(aboutSeen);
}

}  // namespace
}  // namespace tarnwick::gui_test
