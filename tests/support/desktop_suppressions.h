#pragma once
// Under the address sanitizer, the leak check at exit also sees what the
// desktop libraries (GLib, GTK, D-Bus, fonts, X) keep until the process
// ends on purpose. These suppressions name only those libraries, so leaks
// in the tool's own code are still reported.

namespace tarnwick::gui_test {

inline constexpr const char* kDesktopLibraryLeaks =
    "leak:libglib-2.0.so\n"
    "leak:libgobject-2.0.so\n"
    "leak:libgio-2.0.so\n"
    "leak:libgtk-3.so\n"
    "leak:libgdk-3.so\n"
    "leak:libgdk_pixbuf-2.0.so\n"
    "leak:libatk-1.0.so\n"
    "leak:libatk-bridge-2.0.so\n"
    "leak:libatspi.so\n"
    "leak:libdbus-1.so\n"
    "leak:libfontconfig.so\n"
    "leak:libfreetype.so\n"
    "leak:libpango-1.0.so\n"
    "leak:libpangocairo-1.0.so\n"
    "leak:libpangoft2-1.0.so\n"
    "leak:libharfbuzz.so\n"
    "leak:libcairo.so\n"
    "leak:libpixman-1.so\n"
    "leak:libX11.so\n"
    "leak:libXi.so\n"
    "leak:libepoxy.so\n"
    "leak:libwx_gtk3u_core-3.2.so\n"
    "leak:libwx_baseu-3.2.so\n";

// Under the thread sanitizer, likewise: the desktop libraries run threads of
// their own (D-Bus, fonts) that it cannot see into. Our threads (the
// transfer worker) touch none of them except through wx's thread-safe event
// queue.
inline constexpr const char* kDesktopLibraryRaces =
    "called_from_lib:libglib-2.0.so\n"
    "called_from_lib:libgio-2.0.so\n"
    "called_from_lib:libfontconfig.so\n"
    "race:libglib-2.0.so\n"
    "race:libgobject-2.0.so\n"
    "race:libgio-2.0.so\n"
    "race:libfontconfig.so\n"
    "race:libgtk-3.so\n"
    "race:libgdk-3.so\n"
    "race:libpango-1.0.so\n"
    "race:libcairo.so\n"
    "race:libdbus-1.so\n"
    "race:libatk-bridge-2.0.so\n";

}  // namespace tarnwick::gui_test
