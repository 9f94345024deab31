// The window on a device whose every write fails: closing is refused while
// the transfer runs, and its end is "1032", in control 1005 and in a box,
// and in the history.
// Only a double of the device library is needed, so this runs on every
// system; it runs the transfer thread, so also under the thread sanitizer.

#include <gtest/gtest.h>

#include "platform/system.h"
#include "resources/resource_ids.h"
#include "support/json_value.h"
#include "tests/gui/window_fixture.h"
#include "tests/image/image_bytes.h"

namespace tarnwick::gui_test {
namespace {

constexpr const char* kKeyTexts =
    "[title]\n100=Failing Device Test\n[control]\n1001=Close\n1003=Send\n"
    "[message]\n1024=T1024\n1025=T1025\n1030=T1030\n1032=T1032\n";

// A device whose pipe fails every write: the header's attempts run out.
TEST(WindowWithFailingDevice, RefusesClosingWhileSendingThenShows1032) {
    WindowFixture fixture;
    fixture.WriteLangIni(kKeyTexts);
    fixture.libraries.UseFolder(DoubleFolder("dev_full"));
    CTarnwickDlg& window = fixture.Open();
    ASSERT_TRUE(WindowFixture::PumpUntil([&] { return window.DevicePresent(); }, std::chrono::seconds(2)));
    testing::ImageBytes header;
    header.Port(1).Flash(3);
    std::string bytes = header.AsString();
    bytes.resize(1024 + 8192, '\x5A');
    const std::string image = fixture.WriteFile("nand.rad", bytes);

    bool stillOpenAfterClose = false;
    bool stillOpenAfterEscape = false;
    bool buttonsDisabled = false;
    bool ended = false;
    const int result = fixture.RunModal([&] {
        fixture.prompts.AnswerNextChooser(image);
        wxCommandEvent click(wxEVT_BUTTON, res::kSystemDataButtonId);
        fixture.Control(res::kSystemDataButtonId)->GetEventHandler()->ProcessEvent(click);
        ASSERT_TRUE(window.TransferRunning());
        buttonsDisabled = !fixture.Control(res::kSystemDataButtonId)->IsEnabled() &&
                          !fixture.Control(res::kCancelId)->IsEnabled();

        window.Close();
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        stillOpenAfterClose = WindowFixture::IsOpen(window);

        wxKeyEvent escape(wxEVT_CHAR_HOOK);
        escape.m_keyCode = WXK_ESCAPE;
        window.GetEventHandler()->ProcessEvent(escape);
        WindowFixture::PumpFor(std::chrono::milliseconds(100));
        stillOpenAfterEscape = WindowFixture::IsOpen(window);

        // The pipe fails every write: the header's attempts run out.
        ended = WindowFixture::PumpUntil([&] { return !window.TransferRunning(); },
                                         std::chrono::seconds(60));
    });
    EXPECT_EQ(result, WindowFixture::kScriptLeftOpen);
    EXPECT_TRUE(buttonsDisabled);
    EXPECT_TRUE(stillOpenAfterClose);
    EXPECT_TRUE(stillOpenAfterEscape);
    ASSERT_TRUE(ended);
    EXPECT_EQ(fixture.LabelOf(res::kTransferEndId), "T1032");
    EXPECT_EQ(fixture.prompts.messages(), std::vector<wxString>{"T1032"});
    EXPECT_EQ(window.ProgressBar().Position(), 0);
    EXPECT_TRUE(fixture.Control(res::kSystemDataButtonId)->IsEnabled());
    EXPECT_TRUE(fixture.Control(res::kCancelId)->IsEnabled());

    // The window records its transfers as the CLI does, failed ones too:
    // in the user's history ($TARNWICK_HISTORY under the tests), where
    // other tests append theirs as well.
    os::System& system = os::RealSystem();
    const std::optional<std::string> history = system.files.ReadText(system.history.Path(), 64u << 20);
    ASSERT_TRUE(history.has_value()) << system.history.Path();
    std::optional<JsonValue> record;
    for (std::size_t start = 0, end; start < history->size(); start = end + 1) {
        end = std::min(history->find('\n', start), history->size());
        std::optional<JsonValue> line = JsonValue::Parse(history->substr(start, end - start));
        if (line && (*line)["image"].AsString() == image) {
            record = std::move(line);
        }
    }
    ASSERT_TRUE(record.has_value()) << *history;
    EXPECT_EQ((*record)["front_end"].AsString(), "window");
    EXPECT_EQ((*record)["outcome"].AsString(), "failed");
    EXPECT_EQ((*record)["failure"].AsString(), "header not taken");
    EXPECT_EQ((*record)["payload"].AsUnsigned(), 8192u);
}

}  // namespace
}  // namespace tarnwick::gui_test
