#include "bench/window_sender.h"

#include <chrono>
#include <cstdio>

#include "resources/resource_ids.h"

namespace tarnwick::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

std::optional<WindowRun> SendFromWindow(gui_test::WindowFixture& fixture, const std::string& image) {
    CTarnwickDlg& window = fixture.dialog();
    if (!gui_test::WindowFixture::PumpUntil([&] { return window.DevicePresent(); })) {
        std::fprintf(stderr, "the window saw no device\n");
        return std::nullopt;
    }
    const gui_test::PaintCounter barPaints(*fixture.Control(res::kProgressBarId));
    fixture.prompts.AnswerNextChooser(image);
    const auto clicked = Clock::now();
    wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
    fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
    const auto started = Clock::now();
    if (!window.TransferRunning()) {
        std::fprintf(stderr, "the window did not start a transfer: %s\n",
                     fixture.prompts.messages().empty()
                         ? "no message"
                         : static_cast<const char*>(fixture.prompts.messages().back().utf8_str()));
        return std::nullopt;
    }
    if (!gui_test::WindowFixture::PumpUntil([&] { return !window.TransferRunning(); },
                                            std::chrono::minutes(2))) {
        std::fprintf(stderr, "the window's transfer did not end\n");
        return std::nullopt;
    }
    const auto end = Clock::now();
    // Let the last repaints land before counting them.
    gui_test::WindowFixture::PumpFor(std::chrono::milliseconds(50));
    return WindowRun{Seconds(end - clicked), Seconds(end - started), barPaints.passes()};
}

}  // namespace tarnwick::bench
