#pragma once
// Texts fixed in the program's resources: never looked up in lang.ini, the
// same in every language.

#include <string_view>

namespace tarnwick::res {

// The string table: empty for an id it does not hold.
std::string_view LoadResourceString(int id);

// The maker's web address, shown in control 1006.
inline constexpr std::string_view kMakerAddress = "www.vantrel.example";
inline constexpr std::string_view kUpgradeGroupCaption = "UPGRADE";

}  // namespace tarnwick::res
