// The real boxes behind the window's seam: the message box's caption, icon,
// button and owner, and the file chooser's filter and options. wx hands
// every modal box to a hook before showing it; the test's hook looks at the
// box and answers in the user's place.

#include <functional>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include "app/user_prompts.h"
#include "tests/gui/window_fixture.h"

namespace tarnwick::gui_test {
namespace {

// Answers every modal box but the window under test, which it lets run.
class AnsweringHook final : public wxModalDialogHook {
public:
    AnsweringHook(const wxDialog& window, std::function<void(wxDialog&)> look, int answer)
        : window_(window), look_(std::move(look)), answer_(answer) {
        Register();
    }
    ~AnsweringHook() override { Unregister(); }

    int boxesSeen() const { return boxesSeen_; }

protected:
    int Enter(wxDialog* dialog) override {
        if (dialog == &window_) {
            return wxID_NONE;
        }
        ++boxesSeen_;
        look_(*dialog);
        return answer_;
    }
    void Exit(wxDialog*) override {}

private:
    const wxDialog& window_;
    std::function<void(wxDialog&)> look_;
    int answer_;
    int boxesSeen_ = 0;
};

TEST(RealPrompts, MessageBoxWarnsWithOneButtonUnderTheProgramsName) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    wxMessageDialog* box = nullptr;
    wxString caption;
    wxString message;
    long style = 0;
    wxWindow* parent = nullptr;
    AnsweringHook hook(
        window, [&](wxDialog& dialog) {
            box = dynamic_cast<wxMessageDialog*>(&dialog);
            if (box != nullptr) {
                caption = box->GetCaption();
                message = box->GetMessage();
                style = box->GetMessageDialogStyle();
                parent = box->GetParent();
            }
        },
        wxID_OK);
    // Boxes are owned by the window only while it is on screen, as it is
    // whenever the user can act.
    fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        WxPrompts().ShowMessage(&window, "Checked text");
    });

    EXPECT_EQ(hook.boxesSeen(), 1);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(message, "Checked text");
    // The executable's name without its extension.
    EXPECT_EQ(caption, wxTheApp->GetAppName());
    EXPECT_FALSE(caption.empty());
    EXPECT_TRUE(style & wxICON_EXCLAMATION);
    EXPECT_TRUE(style & wxOK);
    EXPECT_FALSE(style & (wxCANCEL | wxYES_NO));
    EXPECT_EQ(parent, &window);
}

TEST(RealPrompts, FileChooserOpensOneExistingRadFileInAnyCase) {
    WindowFixture fixture;
    CTarnwickDlg& window = fixture.Open();
    wxFileDialog* chooser = nullptr;
    wxString wildcard;
    long style = 0;
    wxWindow* parent = nullptr;
    AnsweringHook hook(
        window, [&](wxDialog& dialog) {
            chooser = dynamic_cast<wxFileDialog*>(&dialog);
            if (chooser != nullptr) {
                wildcard = chooser->GetWildcard();
                style = chooser->GetWindowStyle();
                parent = chooser->GetParent();
            }
        },
        wxID_CANCEL);
    std::optional<std::string> chosen = "not asked";
    fixture.RunModal([&] {
        WindowFixture::PumpUntil([&] { return window.IsShownOnScreen(); });
        chosen = WxPrompts().ChooseImageFile(&window);
    });

    EXPECT_FALSE(chosen.has_value());  // cancelled
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(wildcard.StartsWith("rad file (*.rad) |"));
    for (const char* pattern : {"*.rad", "*.RAD", "*.rAd", "*.Rad"}) {
        EXPECT_TRUE(wildcard.Contains(pattern)) << pattern;
    }
    EXPECT_TRUE(style & wxFD_OPEN);
    EXPECT_TRUE(style & wxFD_FILE_MUST_EXIST);
    EXPECT_FALSE(style & wxFD_MULTIPLE);
    EXPECT_EQ(parent, &window);
}

}  // namespace
}  // namespace tarnwick::gui_test
