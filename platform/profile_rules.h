#pragma once
// The private-profile rules, by which the system's own reader takes one
// value out of an INI file. Windows has that reader; elsewhere this code
// stands in for it, so that a lang.ini shows the same texts on every
// system. Pure code, built on every system so that its tests run there too.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tarnwick::os {

// A value is cut at this many characters, as the reader's 260-character
// buffer cuts it.
inline constexpr std::size_t kProfileValueLimit = 259;

// A lang.ini is a few kilobytes; what lies past this limit is never read,
// so that a huge file cannot stall every lookup.
inline constexpr std::size_t kIniSizeLimit = std::size_t{1} << 20;

// The value of `key` in `section` of an INI file's text, by the
// private-profile rules; empty when either is missing. At most 259 chars.
std::string ReadProfileString(std::string_view iniText, std::string_view section, std::string_view key);
// The same, but nullopt when the key is not defined at all, to tell a
// missing key from an empty value.
std::optional<std::string> FindProfileString(std::string_view iniText, std::string_view section,
                                             std::string_view key);

// ProfileStrings by these rules, over the file as a FileReader reads it.
class RulesProfileStrings final : public ProfileStrings {
public:
    explicit RulesProfileStrings(FileReader& files) : files_(files) {}
    std::optional<std::string> Find(const std::string& path, std::string_view section,
                                    std::string_view key) override;

private:
    FileReader& files_;
};

}  // namespace tarnwick::os
