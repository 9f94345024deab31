#pragma once
// Paths inside the tool are UTF-8 on every system. Windows spells any name
// it allows only in UTF-16, so every call that takes or gives a path is
// made with the wide ("W") function and these conversions.

#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace tarnwick::os::win32 {

std::wstring Widened(std::string_view utf8);
std::string Utf8Of(std::wstring_view wide);
// `wide` in the ANSI code page, when that code page can spell every
// character of it; nullopt when it cannot.
std::optional<std::string> AnsiSpelling(std::wstring_view wide);
// The full path of a loaded module (null: this program); empty when the
// system cannot give it whole.
std::string ModuleFileName(HMODULE module);

}  // namespace tarnwick::os::win32
