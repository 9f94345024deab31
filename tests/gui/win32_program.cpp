#include "tests/gui/win32_program.h"

#include <cstring>
#include <thread>

namespace tarnwick::gui_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kLookEvery{10};

// The test's environment block with `extra` entries added or replacing.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsA(strings);
    }
    for (const std::string& entry : extra) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(entries, [&](const std::string& old) { return old.starts_with(name); });
        entries.push_back(entry);
    }
    std::string block;
    for (const std::string& entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

struct WindowSearch {
    DWORD processId;
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (owner == search.processId && IsWindowVisible(window) && search.caption == text) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

// The visible child windows of one class, in creation order.
struct ChildSearch {
    std::wstring className;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<ChildSearch*>(parameter);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (IsWindowVisible(window) && search.className == className) {
        search.found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className) {
    ChildSearch search{className, {}};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

ProgramProcess::ProgramProcess(const std::string& program, const std::string& desktop,
                               const std::vector<std::string>& environment,
                               const std::vector<std::string>& arguments, const std::string& logPath) {
    std::string commandLine = "\"" + program + "\"";
    for (const std::string& argument : arguments) {
        commandLine += " \"" + argument + "\"";
    }
    std::string desktopName = desktop;
    std::string block = EnvironmentBlock(environment);
    const std::string folder = program.substr(0, program.find_last_of("/\\"));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktopName.data();
    HANDLE log = INVALID_HANDLE_VALUE;
    if (!logPath.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        log = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = log;
        startup.hStdError = log;
    }
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                                        log != INVALID_HANDLE_VALUE, 0, block.data(), folder.c_str(), &startup,
                                        &info);
    if (log != INVALID_HANDLE_VALUE) {
        CloseHandle(log);
    }
    if (!created) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

ProgramProcess::~ProgramProcess() {
    if (process_ == nullptr) {
        return;
    }
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool ProgramProcess::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ProgramProcess::Wait(std::chrono::milliseconds timeout) {
    if (process_ == nullptr || WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD status = 0;
    GetExitCodeProcess(process_, &status);
    return status;
}

HWND WaitForWindow(const ProgramProcess& process, const std::string& caption, std::chrono::milliseconds timeout) {
    WindowSearch search{process.id(), Wide(caption)};
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline && process.Running()) {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        std::this_thread::sleep_for(kLookEvery);
    }
    return nullptr;
}

std::string TextOf(HWND window) {
    wchar_t text[512] = {};
    const int length = GetWindowTextW(window, text, 512);
    std::string utf8(static_cast<std::size_t>(length) * 3, '\0');
    utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(),
                                                             static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

bool WaitForControlText(HWND dialog, int id, const std::string& text, std::chrono::milliseconds timeout,
                        const std::function<void()>& meanwhile) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (meanwhile) {
            meanwhile();
        }
        if (TextOf(GetDlgItem(dialog, id)) == text) {
            return true;
        }
        std::this_thread::sleep_for(kLookEvery);
    }
    return false;
}

COLORREF PixelOf(HWND window, int x, int y) {
    // Another process's window is read where it shows: on the screen.
    POINT point{x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

std::string MessageTextOf(HWND box) {
    std::string text;
    for (HWND label : ChildrenOfClass(box, L"Static")) {
        text += TextOf(label);
    }
    return text;
}

bool ClickOnlyButton(HWND box) {
    const std::vector<HWND> buttons = ChildrenOfClass(box, L"Button");
    return buttons.size() == 1 && PostMessageW(buttons.front(), BM_CLICK, 0, 0) != 0;
}

bool ChooseFile(HWND fileDialog, const std::string& path) {
    // The name field is the dialog's one edit control.
    const std::vector<HWND> fields = ChildrenOfClass(fileDialog, L"Edit");
    if (fields.size() != 1) {
        return false;
    }
    SendMessageW(fields.front(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(path).c_str()));
    return ClickButton(fileDialog, IDOK);
}

void PressKey(HWND window, WORD virtualKey) {
    // As the keyboard sends it: to the window in front, through the input
    // queue, where the program's own keyboard handling sees it (a posted
    // key message would bypass that).
    SetForegroundWindow(window);
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = virtualKey;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

}  // namespace tarnwick::gui_test
