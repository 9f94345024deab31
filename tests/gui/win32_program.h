#pragma once
// A Windows program driven from outside, as a person drives it: started as
// a process of its own on the test's desktop, its windows found by their
// captions, and its buttons clicked, its fields filled and its texts read
// through the system's own messages. Tests of the real tarnwick.exe and the
// benchmarks of its window use it.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace tarnwick::gui_test {

class ProgramProcess {
public:
    // Starts `program` with `arguments` on `desktop` (the test's own), with
    // `environment` entries ("NAME=value") added to the test's own
    // environment, and its standard output and error in `logPath` if given.
    ProgramProcess(const std::string& program, const std::string& desktop,
                   const std::vector<std::string>& environment = {},
                   const std::vector<std::string>& arguments = {}, const std::string& logPath = {});
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    // A program still running is ended.
    ~ProgramProcess();

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    bool Running() const;
    // The exit status; nullopt while it is still running after `timeout`.
    std::optional<DWORD> Wait(std::chrono::milliseconds timeout);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A visible top-level window of process `processId` captioned `caption`,
// once there is one; nullptr when none appears within `timeout` or the
// process has ended.
HWND WaitForWindow(const ProgramProcess& process, const std::string& caption,
                   std::chrono::milliseconds timeout);

// The window's text, as the program shows it (UTF-8).
std::string TextOf(HWND window);

// Whether control `id` of `dialog` shows `text` within `timeout`; `meanwhile`
// runs at every look.
bool WaitForControlText(HWND dialog, int id, const std::string& text, std::chrono::milliseconds timeout,
                        const std::function<void()>& meanwhile = {});

// The colour of a pixel of a window on the screen, as 0x00BBGGRR.
COLORREF PixelOf(HWND window, int x, int y);

// Clicks button `id` of `dialog` without waiting for what the click starts
// (a modal box, say).
bool ClickButton(HWND dialog, int id);

// A message box's text, and a press of its one button. (The system's boxes
// number their controls as they like, so these go by the controls' kinds.)
std::string MessageTextOf(HWND box);
bool ClickOnlyButton(HWND box);

// Types `path` into a file dialog's name field and presses its OK button.
bool ChooseFile(HWND fileDialog, const std::string& path);

// Brings `window` to the front and presses a key there.
void PressKey(HWND window, WORD virtualKey);

}  // namespace tarnwick::gui_test
