// The real tarnwick.exe under Wine, started as a person would start it and
// driven from outside as a person would drive it: the window opens with the
// caption from the lang.ini beside it, the system menu's About item opens
// the About box, the button sends an image through the device library
// beside the program (a test double) while the bar fills, the end shows in
// the window ("1030", or "1032" and a message box for a dropped device),
// and Escape ends the process with status 0.
//
// Run by a Linux test with VANTREL_SIM_TCP set, the program gets the
// stand-in VantrelUSB.dll instead of a double, so it reaches the Linux
// simulator, and sends the image TARNWICK_TEST_IMAGE names; that test then
// checks what the simulator stored.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/gui/own_desktop.h"
#include "tests/gui/win32_program.h"
#include "tests/image/image_bytes.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::gui_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kCaption = "Tarnwick Program Under Test";
constexpr const char* kTexts =
    "[title]\n100=Tarnwick Program Under Test\n[control]\n1001=Close\n1003=Send\n"
    "[message]\n1024=T1024\n1025=T1025\n1030=T1030\n1032=T1032\n";
// Where the test double of the device library writes what it is sent.
constexpr const char* kDeviceFileVariable = "TARNWICK_DOUBLE_FILE";
// The bar's left colour, which its first bands have (0x00BBGGRR).
constexpr COLORREF kBarLeftColour = RGB(0x00, 0x80, 0x80);

bool ToTheSimulator() { return std::getenv("VANTREL_SIM_TCP") != nullptr; }

fs::path ThisProgramsFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class TarnwickProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = MoveToOwnDesktop(); }

    // A copy of the program in a folder of its own, with lang.ini and the
    // double `device` (or the stand-in that reaches the simulator) as
    // VantrelUSB.dll beside it.
    void Install(const std::string& device) {
        ASSERT_TRUE(desktop.has_value()) << "no desktop of the test's own";
        const fs::path bin = ThisProgramsFolder();
        program = fs::path(folder.path()) / "tarnwick.exe";
        fs::copy_file(bin / "tarnwick.exe", program);
        const fs::path library = ToTheSimulator() ? bin : bin / "doubles" / device;
        fs::copy_file(library / "VantrelUSB.dll", fs::path(folder.path()) / "VantrelUSB.dll");
        std::ofstream(fs::path(folder.path()) / "lang.ini", std::ios::binary) << kTexts;
    }

    // Starts the program and waits for its window. The virtual display now
    // and then refuses a new client; the program then ends at once and is
    // started again.
    HWND Start() {
        const std::string deviceFile = kDeviceFileVariable + ("=" + DeviceFile().string());
        for (int attempt = 0; attempt < 3; ++attempt) {
            process.emplace(program.string(), *desktop, std::vector<std::string>{deviceFile});
            if (HWND window = WaitForWindow(*process, kCaption, 30s)) {
                return window;
            }
        }
        return nullptr;
    }

    // An image of `payload` bytes after its header, in the folder; or the
    // one the test that runs this one made.
    std::string WriteImage(std::size_t payload) {
        if (const char* given = std::getenv("TARNWICK_TEST_IMAGE")) {
            return given;
        }
        testing::ImageBytes header;
        header.Port(1).Flash(3);
        image = header.AsString();
        image.resize(1024 + payload);
        for (std::size_t i = 1024; i < image.size(); ++i) {
            image[i] = static_cast<char>((i * 131) >> 3);
        }
        // The file dialog takes a path with the system's own separators only.
        const fs::path path = (fs::path(folder.path()) / "image.rad").make_preferred();
        std::ofstream(path, std::ios::binary) << image;
        return path.string();
    }

    // Presses the button and picks `imagePath` in the file dialog.
    void SendImage(HWND window, const std::string& imagePath) {
        ASSERT_TRUE(WaitForControlText(window, res::kDeviceStatusId, "T1024", 10s)) << "no device seen";
        ASSERT_TRUE(ClickButton(window, res::kSystemDataButtonId));
        HWND chooser = WaitForWindow(*process, "Select a file", 10s);
        ASSERT_NE(chooser, nullptr) << "no file dialog";
        ASSERT_TRUE(ChooseFile(chooser, imagePath));
    }

    void ExpectEscapeEndsTheProcessWithStatusZero(HWND window) {
        PressKey(window, VK_ESCAPE);
        const std::optional<DWORD> status = process->Wait(10s);
        ASSERT_TRUE(status.has_value()) << "the window did not close";
        EXPECT_EQ(*status, 0u);
    }

    fs::path DeviceFile() const { return fs::path(folder.path()) / "device.bin"; }

    static inline std::optional<std::string> desktop;
    test::TempDir folder;
    fs::path program;
    std::string image;
    std::optional<ProgramProcess> process;
};

TEST_F(TarnwickProgram, OpensShowsItsAboutBoxSendsAnImageAndEndsOnEscape) {
    Install("plain_file");
    HWND window = Start();
    ASSERT_NE(window, nullptr) << "no window captioned from lang.ini";

    // The About item of the system menu, as the menu sends it.
    PostMessageW(window, WM_SYSCOMMAND, res::kAboutCommandId, 0);
    HWND about = WaitForWindow(*process, "About Tarnwick", 10s);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetWindow(about, GW_OWNER), window);
    ASSERT_TRUE(ClickButton(about, res::kOkId));

    constexpr std::size_t kPayload = 8 * 1024 * 1024 + 777;
    SendImage(window, WriteImage(kPayload));
    bool barFilling = false;
    HWND bar = GetDlgItem(window, res::kProgressBarId);
    EXPECT_TRUE(WaitForControlText(window, res::kTransferEndId, "T1030", 60s, [&] {
        barFilling = barFilling || PixelOf(bar, 2, 4) == kBarLeftColour;
    }));
    EXPECT_TRUE(barFilling) << "the bar never showed its first band";

    // The device got the header's 20 bytes and then the whole payload. (The
    // simulator's store is checked by the test that runs this one.)
    if (!ToTheSimulator()) {
        const std::string sent = ReadAll(DeviceFile());
        EXPECT_EQ(sent.size(), 20 + kPayload);
        EXPECT_TRUE(sent.size() == 20 + kPayload && sent.compare(20, kPayload, image, 1024, kPayload) == 0)
            << "the payload differs";
    }

    ExpectEscapeEndsTheProcessWithStatusZero(window);
}

TEST_F(TarnwickProgram, ADroppedDeviceEndsIn1032AndAMessageBox) {
    Install("failing_pipe");
    HWND window = Start();
    ASSERT_NE(window, nullptr);
    SendImage(window, WriteImage(64 * 1024));

    // The message box takes the program's name as its caption.
    HWND box = WaitForWindow(*process, "tarnwick", 30s);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_EQ(MessageTextOf(box), "T1032");
    EXPECT_TRUE(WaitForControlText(window, res::kTransferEndId, "T1032", 5s));
    ASSERT_TRUE(ClickOnlyButton(box));

    ExpectEscapeEndsTheProcessWithStatusZero(window);
}

}  // namespace
}  // namespace tarnwick::gui_test
