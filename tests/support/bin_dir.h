#pragma once
// Where the build puts the programs, the stand-in device library and the
// test doubles.

#include <string>

namespace tarnwick::test {

std::string BinDir();
std::string BinPath(const std::string& name);
// The folder of the double `name` (holding its libVantrelUSB.so).
std::string DoubleDir(const std::string& name);
std::string DoubleLibraryPath(const std::string& name);

}  // namespace tarnwick::test
