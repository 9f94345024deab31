// Linked into every test program that opens windows. Read by the sanitizers
// at start-up when they are built in; unused otherwise.

#include "tests/support/desktop_suppressions.h"

extern "C" const char* __lsan_default_suppressions() {
    return tarnwick::gui_test::kDesktopLibraryLeaks;
}
extern "C" const char* __tsan_default_suppressions() {
    return tarnwick::gui_test::kDesktopLibraryRaces;
}
