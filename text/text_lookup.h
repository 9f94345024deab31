#pragma once
// Texts come from lang.ini beside the running executable, read afresh at
// every lookup by the system's private-profile reader (or, where the system
// has none, by the same rules).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tarnwick {

// Fixed text buffers hold 259 characters and the terminator.
inline constexpr std::size_t kTextBufferSize = 260;
inline constexpr std::size_t kMaxTextLength = kTextBufferSize - 1;

// The lang.ini path beside the executable, or empty when the composed path
// would not fit a 260-character buffer (treated as a missing file).
std::string LangIniPathBeside(std::string_view executablePath);

class TextLookup {
public:
    TextLookup(os::Process& process, os::ProfileStrings& profiles);
    // Reads lang.ini anew. Empty when the file, section or key is missing.
    std::string Lookup(std::string_view section, std::string_view key) const;
    std::string IniPath() const;

private:
    os::Process& process_;
    os::ProfileStrings& profiles_;
};

}  // namespace tarnwick
