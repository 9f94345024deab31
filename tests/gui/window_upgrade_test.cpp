// Button 1000 from the window's side: every refusal shows its text in a box
// owned by the window, and the kind line in control 1004. (Transfers that
// run are in window_transfer_test.cpp.)

#include <gtest/gtest.h>
#include <wx/button.h>

#include "app/image_drop_target.h"
#include "resources/resource_ids.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"

namespace tarnwick::gui_test {
namespace {

constexpr const char* kKeyTexts =
    "[title]\n100=Upgrade Test\n[control]\n1001=Close\n1003=Send\n"
    "[message]\n1020=T1020\n1021=T1021\n1022=T1022\n1023=T1023\n1024=T1024\n1025=T1025\n"
    "1027=T1027\n1028=T1028\n1029=T1029\n1030=T1030\n1031=T1031\n1032=T1032\n";

std::string UsbImage(std::size_t payload) {
    testing::ImageBytes header;
    header.Port(1).Flash(3);
    std::string bytes = header.AsString();
    bytes.resize(1024 + payload, '\x5A');
    return bytes;
}

void ClickSystemData(CTarnwickDlg& window) {
    wxWindow* button = window.FindWindow(res::kSystemDataButtonId);
    wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

class UpgradeFromWindow : public ::testing::Test {
protected:
    void SetUp() override { fixture.WriteLangIni(kKeyTexts); }

    // Opens the window with the device library from `folder` and waits for
    // the first presence probe.
    CTarnwickDlg& OpenWith(const std::string& folder) {
        fixture.libraries.UseFolder(folder);
        CTarnwickDlg& window = fixture.Open();
        WindowFixture::PumpUntil([&] { return fixture.LabelOf(res::kDeviceStatusId) == "T1024"; },
                                 std::chrono::seconds(2));
        return window;
    }

    // Picks `file` in the chooser and presses button 1000; the boxes shown.
    std::vector<wxString> SendFile(CTarnwickDlg& window, const std::string& file) {
        fixture.prompts.Clear();
        fixture.prompts.AnswerNextChooser(file);
        ClickSystemData(window);
        return fixture.prompts.messages();
    }

    WindowFixture fixture;
};

TEST_F(UpgradeFromWindow, CancelledChooserChangesNothing) {
    CTarnwickDlg& window = OpenWith(DoubleFolder("failing_pipe"));
    fixture.prompts.AnswerNextChooser(std::nullopt);
    ClickSystemData(window);
    EXPECT_EQ(fixture.prompts.choosersShown(), 1);
    EXPECT_TRUE(fixture.prompts.messages().empty());
    EXPECT_EQ(window.ImagePath(), "");
    EXPECT_FALSE(window.TransferRunning());
}

TEST_F(UpgradeFromWindow, FilesThatAreNoImagesAreRefusedWithTheirTexts) {
    CTarnwickDlg& window = OpenWith(DoubleFolder("failing_pipe"));
    ASSERT_TRUE(window.DevicePresent());

    const std::string missing = fixture.folder.File("missing.rad");
    EXPECT_EQ(SendFile(window, missing), std::vector<wxString>{"T1020"});
    EXPECT_EQ(window.ImagePath(), missing);  // a refused file is still kept

    const std::string shortFile = fixture.WriteFile("short.rad", UsbImage(0).substr(0, 1027));
    EXPECT_EQ(SendFile(window, shortFile), std::vector<wxString>{"T1023"});

    std::string unsigned_ = UsbImage(16);
    unsigned_[0] = 'X';
    EXPECT_EQ(SendFile(window, fixture.WriteFile("nosig.rad", unsigned_)), std::vector<wxString>{"T1022"});
    EXPECT_EQ(fixture.LabelOf(res::kImageKindId), "");

    // A UART e-flash image shows its kind, then is refused.
    testing::ImageBytes uart;
    uart.Port(0).Flash(1);
    EXPECT_EQ(SendFile(window, fixture.WriteFile("uart.rad", uart.AsString())),
              std::vector<wxString>{"T1022"});
    EXPECT_EQ(fixture.LabelOf(res::kImageKindId), "T1027");

    EXPECT_FALSE(window.TransferRunning());
    EXPECT_TRUE(fixture.prompts.AllOwnedBy(&window));
}

TEST_F(UpgradeFromWindow, DatedSerialImageWithoutDeviceShowsTheDateThenRefuses) {
    // A library without "open_dev" cannot report a device.
    CTarnwickDlg& window = OpenWith(DoubleFolder("no_open_dev"));
    WindowFixture::PumpFor(std::chrono::milliseconds(300));
    ASSERT_FALSE(window.DevicePresent());
    testing::ImageBytes dated;
    dated.Port(1).Flash(2).StartAddressBytes(0, 0, 1, 0).Date(24, 12, 25);  // byte 5 marks a date
    EXPECT_EQ(SendFile(window, fixture.WriteFile("dated.rad", dated.AsString())),
              std::vector<wxString>{"T1021"});
    EXPECT_EQ(fixture.LabelOf(res::kImageKindId), "T1029 24/12/2025");
}

TEST_F(UpgradeFromWindow, DeviceLibraryTroubleIsRefusedBeforeAnythingIsSent) {
    CTarnwickDlg& window = OpenWith(DoubleFolder("no_open_file"));
    ASSERT_TRUE(window.DevicePresent());
    const std::string image = fixture.WriteFile("nand.rad", UsbImage(4096));
    // Loads, but has no "open_file".
    EXPECT_EQ(SendFile(window, image), std::vector<wxString>{"T1031"});

    // No library at all by the time the transfer would start.
    fixture.libraries.UseFolder("");
    EXPECT_EQ(SendFile(window, image), std::vector<wxString>{"T1031"});
    EXPECT_TRUE(window.DevicePresent());  // the failed tick changed nothing

    // "open_file" gives the invalid handle: the device cannot be reached.
    fixture.libraries.UseFolder(DoubleFolder("open_file_invalid"));
    EXPECT_EQ(SendFile(window, image), std::vector<wxString>{"T1021"});
    EXPECT_FALSE(window.TransferRunning());
    EXPECT_EQ(fixture.LabelOf(res::kTransferEndId), "");
}

// A file dropped while the chooser is open starts its transfer; the choice
// made afterwards must not open the device a second time or report the
// running transfer as failed.
TEST_F(UpgradeFromWindow, ChoiceMadeWhileADroppedFileIsSendingLeavesThatTransferAlone) {
    CTarnwickDlg& window = OpenWith(DoubleFolder("dev_full"));
    const std::string dropped = fixture.WriteFile("dropped.rad", UsbImage(4096));
    const std::string chosen = fixture.WriteFile("chosen.rad", UsbImage(8192));
    fixture.prompts.WhileNextChooserIsOpen([&] { window.RunUpgrade(dropped); });
    fixture.prompts.AnswerNextChooser(chosen);
    ClickSystemData(window);

    EXPECT_TRUE(window.TransferRunning());
    EXPECT_TRUE(fixture.prompts.messages().empty());
    EXPECT_EQ(window.ImagePath(), chosen);
}

TEST_F(UpgradeFromWindow, DroppedRadFileRunsTheCommandInPlaceOfTheChooser) {
    CTarnwickDlg& window = OpenWith(DoubleFolder("failing_pipe"));
    auto* target = dynamic_cast<ImageDropTarget*>(window.GetDropTarget());
    ASSERT_NE(target, nullptr);

    wxArrayString names;
    names.Add(fixture.WriteFile("notes.txt", "not an image"));
    EXPECT_FALSE(target->OnDropFiles(0, 0, names));

    const std::string image = fixture.WriteFile("short.RAD", UsbImage(0).substr(0, 100));
    names.Add(wxString(image));
    EXPECT_TRUE(target->OnDropFiles(0, 0, names));
    EXPECT_TRUE(WindowFixture::PumpUntil([&] { return !fixture.prompts.messages().empty(); },
                                         std::chrono::seconds(2)));
    EXPECT_EQ(fixture.prompts.messages(), std::vector<wxString>{"T1023"});
    EXPECT_EQ(fixture.prompts.choosersShown(), 0);
    EXPECT_EQ(window.ImagePath(), image);
}

}  // namespace
}  // namespace tarnwick::gui_test
