#include "tests/gui/x11_windows.h"

#include <memory>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tarnwick::gui_test {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

bool HasTitle(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr) {
        return false;
    }
    const bool same = title == name;
    XFree(name);
    return same;
}

bool IsMappedAndViewable(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

// Depth-first over the window tree below `window`.
std::optional<Window> FindTitled(Display* display, Window window, const std::string& title) {
    if (HasTitle(display, window, title) && IsMappedAndViewable(display, window)) {
        return window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        found = FindTitled(display, children[i], title);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

std::optional<Window> FindOnce(Display* display, const std::string& title) {
    return FindTitled(display, DefaultRootWindow(display), title);
}

}  // namespace

std::optional<ScreenRect> WaitForWindowTitled(const std::string& title,
                                              std::chrono::milliseconds timeout) {
    const DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<Window> window = FindOnce(display.get(), title)) {
            XWindowAttributes attributes;
            XGetWindowAttributes(display.get(), *window, &attributes);
            int x = 0;
            int y = 0;
            Window child = 0;
            XTranslateCoordinates(display.get(), *window, DefaultRootWindow(display.get()), 0, 0,
                                  &x, &y, &child);
            return ScreenRect{x, y, attributes.width, attributes.height};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
}

bool FocusWindowTitled(const std::string& title) {
    const DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        return false;
    }
    const std::optional<Window> window = FindOnce(display.get(), title);
    if (!window) {
        return false;
    }
    XRaiseWindow(display.get(), *window);
    XSetInputFocus(display.get(), *window, RevertToParent, CurrentTime);
    XSync(display.get(), False);
    return true;
}

}  // namespace tarnwick::gui_test
