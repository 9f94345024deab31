// The window against the real simulator through the real stand-in library:
// the status line follows attach and detach; a whole image goes over the
// cable, with the bytes confirmed by the simulator, the end shown in
// control 1005 and closing refused while it runs. A screenshot of the
// window in the middle of the transfer is left for people to look at.
// These tests run the transfer thread, so they also run under the thread
// sanitizer.

#include <cstdlib>
#include <span>

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/uiaction.h>

#include "support/sha256.h"
#include "resources/resource_ids.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"
#include "tests/support/sim_process.h"

namespace tarnwick::gui_test {
namespace {

constexpr const char* kKeyTexts =
    "[title]\n100=Device Test\n[control]\n1001=Close\n1003=Send\n"
    "[message]\n1020=T1020\n1021=T1021\n1022=T1022\n1023=T1023\n1024=T1024\n1025=T1025\n"
    "1027=T1027\n1028=T1028\n1029=T1029\n1030=T1030\n1031=T1031\n1032=T1032\n";

class WindowWithSimulator : public ::testing::Test {
protected:
    void StartSim(const test::SimOptions& options) {
        sim.emplace(options);
        ASSERT_TRUE(sim->ready()) << sim->Log();
        // The stand-in library finds the simulator through the environment.
        setenv("VANTREL_SIM_SOCKET", sim->socketPath().c_str(), 1);
        fixture.WriteLangIni(kKeyTexts);
        fixture.libraries.UseFolder(StandInFolder());
    }
    void TearDown() override { unsetenv("VANTREL_SIM_SOCKET"); }

    bool StatusBecomes(const char* text, std::chrono::milliseconds within) {
        return WindowFixture::PumpUntil([&] { return fixture.LabelOf(res::kDeviceStatusId) == text; },
                                        within);
    }

    std::optional<test::SimProcess> sim;
    WindowFixture fixture;
};

TEST_F(WindowWithSimulator, StatusLineFollowsAttachAndDetach) {
    StartSim({.detached = true});
    CTarnwickDlg& window = fixture.Open();
    EXPECT_EQ(fixture.LabelOf(res::kDeviceStatusId), "T1025");

    // A probe runs at most about 800 ms apart while nothing is attached,
    // and about 1000 ms while a device is.
    ASSERT_TRUE(sim->Attach());
    EXPECT_TRUE(StatusBecomes("T1024", std::chrono::milliseconds(2000)));
    EXPECT_TRUE(window.DevicePresent());

    ASSERT_TRUE(sim->Detach());
    EXPECT_TRUE(StatusBecomes("T1025", std::chrono::milliseconds(2200)));
    EXPECT_FALSE(window.DevicePresent());

    ASSERT_TRUE(sim->Attach());
    EXPECT_TRUE(StatusBecomes("T1024", std::chrono::milliseconds(2000)));

    // The simulator goes away altogether: no device.
    sim->Stop();
    EXPECT_TRUE(StatusBecomes("T1025", std::chrono::milliseconds(2200)));
}

TEST_F(WindowWithSimulator, StatusLineShowsLangIniEditedWhileOpen) {
    StartSim({});
    fixture.Open();
    ASSERT_TRUE(StatusBecomes("T1024", std::chrono::milliseconds(2000)));
    fixture.WriteLangIni("[message]\n1024=Edited while open\n");
    EXPECT_TRUE(StatusBecomes("Edited while open", std::chrono::milliseconds(2200)));
}

// Saves what the screen shows of `window` as a PNG file.
bool SaveScreenshot(wxWindow& window, const std::string& path) {
    const wxRect rect = window.GetScreenRect();
    wxBitmap shot(rect.GetWidth(), rect.GetHeight());
    {
        wxScreenDC screen;
        wxMemoryDC copy(shot);
        copy.Blit(0, 0, rect.GetWidth(), rect.GetHeight(), &screen, rect.GetLeft(), rect.GetTop());
    }
    return shot.SaveFile(path, wxBITMAP_TYPE_PNG);
}

TEST_F(WindowWithSimulator, WholeImageReachesTheDeviceAndTheEndIsShown) {
    // Paced so that the transfer lasts long enough to be watched.
    StartSim({.rate = 2'000'000});
    constexpr std::size_t kPayload = 3 * 1024 * 1024 + 777;  // the last piece is short
    testing::ImageBytes header;
    header.Port(1).Flash(1);
    std::string image = header.AsString();
    image.resize(1024 + kPayload);
    for (std::size_t i = 1024; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 131) >> 3);
    }
    const std::string path = fixture.WriteFile("eflash.rad", image);
    Sha256 expected;
    expected.Update(std::span(reinterpret_cast<const std::uint8_t*>(image.data()) + 1024, kPayload));
    const std::string expectedSha = expected.FinishHex();

    CTarnwickDlg& window = fixture.Open();
    const PaintCounter barPaints(*fixture.Control(res::kProgressBarId));
    std::vector<int> positions;
    bool refusedClose = false;
    bool screenshotSaved = false;
    const int result = fixture.RunModal([&] {
        ASSERT_TRUE(StatusBecomes("T1024", std::chrono::milliseconds(3000)));
        fixture.prompts.AnswerNextChooser(path);
        wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
        fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
        ASSERT_TRUE(window.TransferRunning());
        EXPECT_EQ(fixture.LabelOf(res::kImageKindId), "T1027");

        WindowFixture::PumpUntil([&] { return window.ProgressBar().Position() >= 40; });
        window.Refresh();
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        screenshotSaved = SaveScreenshot(window, "gui-transfer.png");

        // Escape, pressed as a person would, and the close button: refused.
        wxUIActionSimulator input;
        const wxRect rect = window.GetScreenRect();
        input.MouseMove(rect.GetLeft() + 5, rect.GetTop() + 5);
        input.Char(WXK_ESCAPE);
        window.Close();
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        refusedClose = WindowFixture::IsOpen(window) && window.TransferRunning();

        WindowFixture::PumpUntil(
            [&] {
                positions.push_back(window.ProgressBar().Position());
                return !window.TransferRunning();
            },
            std::chrono::seconds(30));
    });
    EXPECT_EQ(result, WindowFixture::kScriptLeftOpen);
    EXPECT_TRUE(refusedClose);
    EXPECT_TRUE(screenshotSaved);

    const auto transfer = sim->WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim->Log();
    EXPECT_TRUE(transfer->complete) << transfer->outcome;
    EXPECT_EQ(transfer->headerBytes, 20u);
    EXPECT_EQ(transfer->payloadBytes, kPayload);
    EXPECT_EQ(transfer->payloadSha256, expectedSha);

    EXPECT_EQ(fixture.LabelOf(res::kTransferEndId), "T1030");
    EXPECT_TRUE(fixture.prompts.messages().empty());
    EXPECT_EQ(window.ProgressBar().Position(), 0);
    EXPECT_TRUE(fixture.Control(res::kSystemDataButtonId)->IsEnabled());
    // The bar only moved forward, and was repainted at most about once for
    // each percent shown, not once for each of the 1,500 pieces (it may
    // also be painted as the window is shown and for the screenshot). A
    // busy machine merges repaints, so fewer is fine, but it did move while
    // the transfer ran.
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end() - 1));
    EXPECT_LE(barPaints.passes(), 110u);
    EXPECT_GE(barPaints.passes(), 10u);
}

}  // namespace
}  // namespace tarnwick::gui_test
