#pragma once
// Narrow texts (from lang.ini and the resources) as the window shows them.
// On GTK the window takes them as UTF-8. A text cut at 259 bytes inside a
// character loses only that character; a file that is not UTF-8 at all is
// still shown, read as Latin-1, rather than left blank.

#include <string>
#include <string_view>

#include <wx/string.h>

namespace tarnwick {

wxString ToWxText(std::string_view narrow);

// A path as the file system spells it, for the core's file calls.
std::string ToFileSystemPath(const wxString& path);

}  // namespace tarnwick
