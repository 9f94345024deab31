#include "tests/gui/own_desktop.h"

#include <windows.h>

namespace tarnwick::gui_test {

std::optional<std::string> MoveToOwnDesktop() {
    const std::string name = "tarnwick-test-" + std::to_string(GetCurrentProcessId());
    HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (desktop == nullptr) {
        return std::nullopt;
    }
    if (!SetThreadDesktop(desktop)) {
        CloseDesktop(desktop);
        return std::nullopt;
    }
    return name;
}

}  // namespace tarnwick::gui_test
