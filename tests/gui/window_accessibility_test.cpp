// The progress bar as a screen reader meets it: over AT-SPI, found by its
// role, with its value, while a transfer stands at half way (the simulator
// takes half the payload, then nothing). The reader is a separate process
// (Python's pyatspi), as a real one is; the window answers it from its
// event loop, which the test keeps running meanwhile.

#include <unistd.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace tarnwick::gui_test {
namespace {

// Large enough that what the socket's buffers take beyond the stall is
// well under one percent.
constexpr std::size_t kPayload = std::size_t{64} << 20;

TEST(WindowAccessibility, TheBarIsAProgressBarWithItsValue) {
    test::SimProcess sim({.stallAfter = kPayload / 2});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    setenv("VANTREL_SIM_SOCKET", sim.socketPath().c_str(), 1);
    WindowFixture fixture;
    fixture.WriteLangIni("[message]\n1024=T1024\n1030=T1030\n1032=T1032\n");
    fixture.libraries.UseFolder(StandInFolder());
    testing::ImageBytes header;
    header.Port(1).Flash(1);
    std::string image = header.AsString();
    image.resize(1024 + kPayload, '\x33');
    const std::string path = fixture.WriteFile("half.rad", image);

    CTarnwickDlg& window = fixture.Open();
    std::optional<std::string> said;
    int shown = -1;
    fixture.RunModal([&] {
        ASSERT_TRUE(WindowFixture::PumpUntil([&] { return window.DevicePresent(); }, std::chrono::seconds(3)));
        fixture.prompts.AnswerNextChooser(path);
        wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
        fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
        // Until the device has stopped taking bytes and the bar stands.
        ASSERT_TRUE(WindowFixture::PumpUntil([&] { return window.ProgressBar().Position() >= 49; },
                                             std::chrono::seconds(20)));
        WindowFixture::PumpFor(std::chrono::milliseconds(1500));
        shown = window.ProgressBar().Position();
        test::ChildProcess reader("/usr/bin/python3",
                                  {TARNWICK_SOURCE_DIR "/tests/gui/atspi_progress_bar.py", std::to_string(getpid())});
        std::optional<int> status;
        WindowFixture::PumpUntil([&] { return (status = reader.Wait(std::chrono::milliseconds(0))).has_value(); },
                                 std::chrono::seconds(30));
        said = reader.ReadLine(std::chrono::seconds(1));
        EXPECT_EQ(status, 0) << said.value_or("");
        window.Close();
    });
    unsetenv("VANTREL_SIM_SOCKET");
    ASSERT_TRUE(said.has_value()) << "no progress bar was found over AT-SPI";
    EXPECT_NEAR(shown, 50, 1);
    EXPECT_DOUBLE_EQ(std::stod(*said), shown) << "the value said is not the one shown";
}

}  // namespace
}  // namespace tarnwick::gui_test
