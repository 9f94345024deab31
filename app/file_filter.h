#pragma once
// The file chooser's filter for images. Windows matches "*.RAD" without
// regard to case; GTK matches patterns case-sensitively, so the filter
// lists the extension in every mix of capitals.

#include <string>
#include <string_view>

namespace tarnwick {

// "*.ext" in every letter case, joined with ';' ("*.rad;*.raD;...;*.RAD").
// Characters that are not letters stay as they are.
std::string AnyCasePatterns(std::string_view extension);

// The whole filter in the framework's notation: "rad file (*.rad) |<patterns>".
std::string ImageFileFilter();

// Whether a file name ends in ".rad", in any letter case: the files the
// window takes when they are dropped on it.
bool HasImageExtension(std::string_view fileName);

}  // namespace tarnwick
