// The window on a device whose pipe blocks and never takes another byte:
// the transfer ends as failed within the stall bound, the window says so,
// and it is usable and closable again. It runs in real time: a minute.

#include <cstdlib>
#include <unistd.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"

namespace tarnwick::gui_test {
namespace {

using namespace std::chrono_literals;

TEST(WindowWithStalledDevice, Shows1032WithinTheBoundThenClosesNormally) {
    WindowFixture fixture;
    fixture.WriteLangIni("[message]\n1030=T1030\n1032=T1032\n");
    fixture.libraries.UseFolder(DoubleFolder("blocking_pipe"));
    CTarnwickDlg& window = fixture.Open();
    ASSERT_TRUE(WindowFixture::PumpUntil([&] { return window.DevicePresent(); }, 2s));
    testing::ImageBytes header;
    header.Port(1).Flash(1);
    std::string bytes = header.AsString();
    bytes.resize(1024 + 300'000, '\x5A');
    const std::string image = fixture.WriteFile("eflash.rad", bytes);

    bool ended = false;
    std::chrono::steady_clock::duration took{};
    bool usableAgain = false;
    const int result = fixture.RunModal([&] {
        fixture.prompts.AnswerNextChooser(image);
        const auto start = std::chrono::steady_clock::now();
        wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
        fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
        ASSERT_TRUE(window.TransferRunning());
        ended = WindowFixture::PumpUntil(
            [&] { return !window.TransferRunning() && !fixture.prompts.messages().empty(); }, 70s);
        took = std::chrono::steady_clock::now() - start;
        usableAgain = fixture.Control(res::kSystemDataButtonId)->IsEnabled() &&
                      fixture.Control(res::kCancelId)->IsEnabled();
        window.Close();
    });
    if (const char* farEnd = std::getenv("TARNWICK_DOUBLE_FAR_END")) {
        close(std::atoi(farEnd));
    }

    ASSERT_TRUE(ended) << "the window was still sending after 70 s";
    EXPECT_GE(took, 60s);
    EXPECT_LT(took, 65s);
    EXPECT_EQ(fixture.LabelOf(res::kTransferEndId), "T1032");
    EXPECT_EQ(fixture.prompts.messages(), std::vector<wxString>{"T1032"});
    EXPECT_TRUE(usableAgain);
    EXPECT_EQ(result, res::kCancelId);  // closed as Cancel closes it
}

}  // namespace
}  // namespace tarnwick::gui_test
