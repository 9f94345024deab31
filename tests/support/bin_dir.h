#pragma once
// Where the build puts the programs, the stand-in device library and the
// test doubles.

#include <string>
#include <vector>

namespace tarnwick::test {

std::string BinDir();
std::string BinPath(const std::string& name);
// The folder of the double `name` (holding its libVantrelUSB.so).
std::string DoubleDir(const std::string& name);
std::string DoubleLibraryPath(const std::string& name);

// The name to load the stand-in library by in this process: its bare name,
// found beside the test through RUNPATH. Sanitizer runtimes intercept
// dlopen, and the system then searches the runtime's RUNPATH instead of
// ours; there the full path stands in for the bare name.
std::string StandinLibraryName();
// The environment entries a child program of this build needs to find the
// device library in `folder` (its own folder) by bare name: none normally,
// LD_LIBRARY_PATH under a sanitizer, for the reason above.
std::vector<std::string> LibraryBesideProgram(const std::string& folder);

}  // namespace tarnwick::test
