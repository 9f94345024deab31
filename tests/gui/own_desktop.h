#pragma once
// Under Wine every program of a prefix shares one default desktop, whose
// window belongs to the program that first needed it, on that program's
// display. A program without a display (any test run meanwhile in the same
// prefix) leaves it with none, and windows made on it later fail. So a test
// program that opens windows on Windows first moves to a desktop of its
// own, which Wine then starts on the test's own display.

#include <optional>
#include <string>

namespace tarnwick::gui_test {

// Makes a desktop with a name no other program uses and puts the calling
// thread on it; call before the thread makes any window. Returns its name,
// for programs started onto it (STARTUPINFO's lpDesktop), or nullopt.
// The desktop goes once no program uses it any more.
std::optional<std::string> MoveToOwnDesktop();

}  // namespace tarnwick::gui_test
