#pragma once
// Texts come from lang.ini beside the running executable, read afresh at
// every lookup, with the rules of the Windows private-profile reader.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tarnwick {

// Fixed text buffers hold 259 characters and the terminator.
inline constexpr std::size_t kTextBufferSize = 260;
inline constexpr std::size_t kMaxTextLength = kTextBufferSize - 1;

// The value of `key` in `section` of an INI file's text, by the
// private-profile rules; empty when either is missing. At most 259 chars.
std::string ReadProfileString(std::string_view iniText, std::string_view section,
                              std::string_view key);
// The same, but nullopt when the key is not defined at all, to tell a
// missing key from an empty value.
std::optional<std::string> FindProfileString(std::string_view iniText, std::string_view section,
                                             std::string_view key);

// A lang.ini is a few kilobytes; what lies past this limit is never read,
// so that a huge file cannot stall every lookup.
inline constexpr std::size_t kIniSizeLimit = std::size_t{1} << 20;

// The text of the INI file at `path` as every lookup reads it; nullopt when
// the path is empty or the file cannot be read.
std::optional<std::string> ReadIniFile(os::FileReader& files, const std::string& path);

// The lang.ini path beside the executable, or empty when the composed path
// would not fit a 260-character buffer (treated as a missing file).
std::string LangIniPathBeside(std::string_view executablePath);

class TextLookup {
public:
    TextLookup(os::Process& process, os::FileReader& files);
    // Reads lang.ini anew. Empty when the file, section or key is missing.
    std::string Lookup(std::string_view section, std::string_view key) const;
    std::string IniPath() const;

private:
    os::Process& process_;
    os::FileReader& files_;
};

}  // namespace tarnwick
