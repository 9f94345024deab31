#pragma once
// Narrow texts (from lang.ini and the resources) as the window shows them.
// A text that is UTF-8 is shown as UTF-8, on every system and in every
// Windows locale, which is how the shipped lang.ini files are written. A
// text cut at 259 bytes inside a character loses only that character. Any
// other text is shown in the ANSI code page on Windows (a lang.ini saved in
// it keeps working) and as Latin-1 on GTK, rather than left blank.

#include <string>
#include <string_view>

#include <wx/string.h>

namespace tarnwick {

wxString ToWxText(std::string_view narrow);

// A path as the file system spells it, for the core's file calls.
std::string ToFileSystemPath(const wxString& path);

}  // namespace tarnwick
